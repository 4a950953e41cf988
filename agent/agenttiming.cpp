#include "agent/agenttiming.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int realPauseStepMs = 1000;
constexpr int realResultWaitMs = 15000;
constexpr int realResultPollMs = 5000;
constexpr int realTransferTimeoutMs = 60000;

int s_pauseStepMs = realPauseStepMs;
int s_resultWaitMs = realResultWaitMs;
int s_resultPollMs = realResultPollMs;
int s_transferTimeoutMs = realTransferTimeoutMs;

int scaled(int ms, double scale)
{
    return std::max(1, static_cast<int>(std::lround(ms * scale)));
}

} // namespace

void AgentTiming::setScale(double scale)
{
    if (!(scale > 0.0))
        scale = 1.0;
    s_pauseStepMs = scaled(realPauseStepMs, scale);
    s_resultWaitMs = scaled(realResultWaitMs, scale);
    s_resultPollMs = scaled(realResultPollMs, scale);
    s_transferTimeoutMs = scaled(realTransferTimeoutMs, scale);
}

void AgentTiming::setPauseStepMs(int ms)
{
    s_pauseStepMs = std::max(1, ms);
}

void AgentTiming::setResultWaitMs(int ms)
{
    s_resultWaitMs = std::max(1, ms);
}

void AgentTiming::setResultPollMs(int ms)
{
    s_resultPollMs = std::max(1, ms);
}

void AgentTiming::setTransferTimeoutMs(int ms)
{
    s_transferTimeoutMs = std::max(1, ms);
}

int AgentTiming::retryPauseMs()
{
    return 5000;
}

int AgentTiming::pauseStepMs()
{
    return s_pauseStepMs;
}

int AgentTiming::resultWaitMs()
{
    return s_resultWaitMs;
}

int AgentTiming::resultPollMs()
{
    return s_resultPollMs;
}

int AgentTiming::transferTimeoutMs()
{
    return s_transferTimeoutMs;
}
