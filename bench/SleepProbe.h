#pragma once

#include <atomic>
#include <thread>
#include <vector>

namespace bench
{

/**
    What the machine allows: a bare thread that sleeps a fixed pause again and again
    (with no timer slack, like the downloader's thread) and notes how late it wakes.
    Run beside a transfer, it tells how much of the gaps' spread is the scheduler's
    and not the updater's.
*/
class SleepProbe
{
public:
    explicit SleepProbe (int pauseMs);

    /** Stops the thread if stop() was not called. */
    ~SleepProbe();

    struct Lateness
    {
        int count = 0;
        double medianMs = 0.0, p99Ms = 0.0, maxMs = 0.0;
    };

    /** Stops the thread and returns how late its wake-ups were. */
    Lateness stop();

private:
    void run();

    const int pauseMs;
    std::atomic<bool> stopping{false};
    std::vector<double> latenessMs; // written by the thread until it is joined
    std::thread thread;

    SleepProbe (const SleepProbe&) = delete;
    SleepProbe& operator= (const SleepProbe&) = delete;
};

} // namespace bench
