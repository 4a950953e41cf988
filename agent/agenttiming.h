#pragma once

// The agent's waiting times in one place. Users always get the real durations; the scale exists
// only so that tests can run a whole session in a fraction of the time. Nothing in the program
// itself changes it.
class AgentTiming
{
public:
    AgentTiming() = delete;

    // 1.0 is real time; 0.01 makes every duration below a hundredth (at least 1 ms).
    static void setScale(double scale);
    static double scale();

    // The pause argument that every command hands to executeGetCommand (whole seconds count).
    static int retryPauseMs();
    // How long one second of such a pause really lasts.
    static int pauseStepMs();
    // Wait between the set request and the first result request.
    static int resultWaitMs();
    // Wait after a "result not ready" reply before asking again.
    static int resultPollMs();
    // A request that moves no data for this long is given up.
    static int transferTimeoutMs();

private:
    static int scaled(int ms);
};
