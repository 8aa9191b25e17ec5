#pragma once

#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace bench
{

/**
    A program the benchmark starts and waits for: itself for a figure that needs a
    fresh process, or the demo build. While it runs, its peak resident memory is read
    from /proc; when it ends, the kernel's account of its CPU time and peak memory.
*/
class ChildProcess
{
public:
    struct Outcome
    {
        bool started = false;
        bool timedOut = false;
        int exitCode = -1;    ///< -1 also when it ended on a signal
        double wallMs = 0.0;  ///< from the start to the end
        double cpuMs = 0.0;   ///< user and system time of all its threads
        long maxRssKb = 0;    ///< the kernel's peak resident size (wait4)
        long lastVmHwmKb = 0; ///< VmHWM as last read from /proc while it ran

        /** CPU time used so far by its threads (ms, from the scheduler's own account in
            /proc/<pid>/task/<tid>/schedstat, to the nanosecond) against the time since
            the start (ms), read at every poll while it ran. Threads that ended before a
            poll are missing from it. */
        struct CpuSample
        {
            double sinceStartMs = 0.0, cpuMs = 0.0;
            std::map<std::string, double> threadCpuMs; ///< by thread name; same names summed
            std::map<std::string, double> threadRuns;  ///< times put on a CPU so far, by thread name
        };
        std::vector<CpuSample> cpuSamples;

        /** CPU share (of one core) between two moments of the run, from the samples
            nearest inside them, of the whole process and of each thread name;
            nullopt when the samples do not cover a second of the span. */
        struct CpuShare
        {
            double process = 0.0;
            std::map<std::string, double> threads;
            std::map<std::string, double> runsPerSecond; ///< how often each thread was woken and ran
        };
        std::optional<CpuShare> cpuShareBetween (double fromMs, double toMs) const;
    };

    /** Starts `arguments[0]` (a path) with the other arguments; `environment` entries
        (NAME=value) are added to or replace the benchmark's own. */
    ChildProcess (const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment = {});

    /** Ends the program by force if it is still running. */
    ~ChildProcess();

    bool isStarted() const noexcept { return pid > 0; }

    /** Clock::nowMs() just before the program was started. */
    double getStartMs() const noexcept { return startMs; }

    /** Waits for the end, reading VmHWM every `pollMs`; after `timeoutMs` the program
        is ended by force and the outcome says so. */
    Outcome wait (double timeoutMs, int pollMs = 50);

    /** VmHWM of a running process in kB, 0 when it cannot be read. */
    static long readVmHwmKb (pid_t processId);

    /** The time a thread has run on a CPU so far, in ms, from its schedstat file in
        /proc; -1 when it cannot be read. */
    static double readRunTimeMs (const std::string& schedstatPath);

    /** How many times a thread has been put on a CPU so far (its wake-ups, near
        enough), from the same file; -1 when it cannot be read. */
    static double readRunCount (const std::string& schedstatPath);

    /** The path of this benchmark's own executable. */
    static std::string ownPath();

private:
    void forceEnd();

    pid_t pid = -1;
    double startMs = 0.0;
    bool waited = false;

    ChildProcess (const ChildProcess&) = delete;
    ChildProcess& operator= (const ChildProcess&) = delete;
};

} // namespace bench
