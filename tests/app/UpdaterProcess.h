#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace app_testing
{

/**
    A copy of the updater started as a process of its own, for tests of what only
    whole processes show: the single-instance guard, signals, exit codes.
    The destructor kills a copy that is still running.
*/
class UpdaterProcess
{
public:
    /** Starts `program` with `arguments` and the test's environment changed by
        `environment`: "NAME=value" sets a variable, a bare "NAME" removes it. Its
        standard output and standard error go to files, read with getOutput() and
        getErrors(). Check isStarted(). */
    UpdaterProcess (const std::string& program, const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment);
    ~UpdaterProcess();

    bool isStarted() const noexcept { return pid > 0; }
    pid_t getPid() const noexcept { return pid; }

    /** True until the process has ended (and has been reaped here). */
    bool isRunning();

    /** Waits up to `timeoutMs` for the end; the exit code, or nothing if it is still
        running or was ended by a signal. */
    std::optional<int> waitForExit (int timeoutMs);

    /** The signal that ended the process, 0 if none. */
    int getTerminatingSignal() const noexcept { return terminatingSignal; }

    void sendSignal (int signal);

    /** Milliseconds from the start to the end seen by isRunning() or waitForExit(). */
    double getRunTimeMs() const noexcept { return endedMs - startedMs; }

    /** What it has written to standard output and standard error so far. */
    std::string getOutput() const;
    std::string getErrors() const;

private:
    std::string outputFile, errorFile;
    pid_t pid = -1;
    bool ended = false;
    int exitCode = 0, terminatingSignal = 0;
    double startedMs = 0.0, endedMs = 0.0;

    bool reap (bool block);
};

/** The process holding the updater's single-instance lock, 0 if none. */
pid_t singleInstanceHolder();

/** How many top-level windows titled "Firmware Updater" the X server shows. */
int countUpdaterWindows();

} // namespace app_testing
