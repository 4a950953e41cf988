#pragma once

// The agent's waiting times in one place. Users always get the real durations; the setters exist
// only so that tests can run a whole session in a fraction of the time. Nothing in the program
// itself calls them. Not thread-safe: set them before a session starts, on the GUI thread.
class AgentTiming
{
public:
    AgentTiming() = delete;

    // Sets every duration below to its real value times scale (at least 1 ms); 1.0 restores
    // real time.
    static void setScale(double scale);
    static void setPauseStepMs(int ms);
    static void setResultWaitMs(int ms);
    static void setResultPollMs(int ms);
    static void setTransferTimeoutMs(int ms);

    // The pause argument that every command hands to executeGetCommand; it counts whole
    // seconds, each of which lasts pauseStepMs(). Not scaled.
    static int retryPauseMs();
    // How long one second of such a pause really lasts (1000).
    static int pauseStepMs();
    // Wait between the set request and the first result request (15000).
    static int resultWaitMs();
    // Wait after a "result not ready" reply before asking again (5000).
    static int resultPollMs();
    // A request that moves no data for this long is given up (60000).
    static int transferTimeoutMs();
};
