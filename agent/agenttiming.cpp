#include "agent/agenttiming.h"

#include <algorithm>
#include <cmath>

namespace {
double s_scale = 1.0;
}

void AgentTiming::setScale(double scale)
{
    s_scale = scale > 0.0 ? scale : 1.0;
}

double AgentTiming::scale()
{
    return s_scale;
}

int AgentTiming::retryPauseMs()
{
    return 5000;
}

int AgentTiming::pauseStepMs()
{
    return scaled(1000);
}

int AgentTiming::resultWaitMs()
{
    return scaled(15000);
}

int AgentTiming::resultPollMs()
{
    return scaled(5000);
}

int AgentTiming::transferTimeoutMs()
{
    return scaled(60000);
}

int AgentTiming::scaled(int ms)
{
    return std::max(1, static_cast<int>(std::lround(ms * s_scale)));
}
