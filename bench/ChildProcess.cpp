#include "bench/ChildProcess.h"

#include "bench/Clock.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace bench
{

namespace
{
std::vector<std::string> mergedEnvironment (const std::vector<std::string>& extra)
{
    std::vector<std::string> merged;

    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
    {
        const std::string text (*entry);
        const auto name = text.substr (0, text.find ('=') + 1);
        bool replaced = false;

        for (const auto& e : extra)
            if (e.compare (0, name.size(), name) == 0)
                replaced = true;

        if (!replaced)
            merged.push_back (text);
    }

    merged.insert (merged.end(), extra.begin(), extra.end());
    return merged;
}

std::vector<char*> pointersTo (std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (auto& s : strings)
        pointers.push_back (s.data());
    pointers.push_back (nullptr);
    return pointers;
}

/** The CPU time of the process's threads, read from /proc. */
ChildProcess::Outcome::CpuSample readCpuSample (pid_t pid)
{
    ChildProcess::Outcome::CpuSample sample;
    sample.cpuMs = -1.0;

    std::error_code error;
    for (const auto& task :
         std::filesystem::directory_iterator ("/proc/" + std::to_string (pid) + "/task", error))
    {
        std::ifstream comm (task.path() / "comm");
        std::string name;
        std::getline (comm, name);

        if (const auto ms = ChildProcess::readRunTimeMs (task.path() / "schedstat"); ms >= 0.0)
        {
            sample.threadCpuMs[name] += ms;
            sample.cpuMs = std::max (0.0, sample.cpuMs) + ms;
            sample.threadRuns[name] += std::max (0.0, ChildProcess::readRunCount (task.path() / "schedstat"));
        }
    }
    return sample;
}

double toMs (const timeval& t)
{
    return static_cast<double> (t.tv_sec) * 1000.0 + static_cast<double> (t.tv_usec) / 1000.0;
}
} // namespace

//==============================================================================
ChildProcess::ChildProcess (const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment)
{
    if (arguments.empty())
        return;

    auto args = arguments;
    auto env = mergedEnvironment (environment);
    auto argv = pointersTo (args);
    auto envp = pointersTo (env);

    startMs = Clock::nowMs();
    if (posix_spawn (&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
}

ChildProcess::~ChildProcess()
{
    if (pid > 0 && !waited)
        forceEnd();
}

ChildProcess::Outcome ChildProcess::wait (double timeoutMs, int pollMs)
{
    Outcome outcome;
    if (pid <= 0 || waited)
        return outcome;

    outcome.started = true;

    for (;;)
    {
        int status = 0;
        rusage usage{};
        const auto ended = wait4 (pid, &status, WNOHANG, &usage);

        if (ended == pid)
        {
            waited = true;
            outcome.wallMs = Clock::nowMs() - startMs;
            outcome.cpuMs = toMs (usage.ru_utime) + toMs (usage.ru_stime);
            outcome.maxRssKb = usage.ru_maxrss;
            outcome.exitCode = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
            return outcome;
        }

        if (ended < 0 && errno != EINTR)
        {
            waited = true;
            return outcome;
        }

        // Read while it runs: once it has ended, /proc no longer has it.
        if (const auto hwm = readVmHwmKb (pid); hwm > 0)
            outcome.lastVmHwmKb = hwm;

        if (auto sample = readCpuSample (pid); sample.cpuMs >= 0.0)
        {
            sample.sinceStartMs = Clock::nowMs() - startMs;
            outcome.cpuSamples.push_back (std::move (sample));
        }

        if (Clock::nowMs() - startMs > timeoutMs)
        {
            outcome.timedOut = true;
            forceEnd();
            outcome.wallMs = Clock::nowMs() - startMs;
            return outcome;
        }

        std::this_thread::sleep_for (std::chrono::milliseconds (pollMs));
    }
}

void ChildProcess::forceEnd()
{
    // Only the one process this object started.
    kill (pid, SIGKILL);
    int status = 0;
    waitpid (pid, &status, 0);
    waited = true;
}

long ChildProcess::readVmHwmKb (pid_t processId)
{
    std::ifstream status ("/proc/" + std::to_string (processId) + "/status");
    std::string key;

    while (status >> key)
    {
        if (key == "VmHWM:")
        {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore (1024, '\n');
    }
    return 0;
}

double ChildProcess::readRunTimeMs (const std::string& schedstatPath)
{
    // Three numbers: time on a CPU (ns), time waiting for one (ns), time slices.
    std::ifstream schedstat (schedstatPath);
    double runNs = -1.0;

    if (!(schedstat >> runNs))
        return -1.0;

    return runNs / 1.0e6;
}

double ChildProcess::readRunCount (const std::string& schedstatPath)
{
    std::ifstream schedstat (schedstatPath);
    double runNs = 0.0, waitNs = 0.0, slices = -1.0;

    if (!(schedstat >> runNs >> waitNs >> slices))
        return -1.0;

    return slices;
}

std::optional<ChildProcess::Outcome::CpuShare> ChildProcess::Outcome::cpuShareBetween (double fromMs,
                                                                                       double toMs) const
{
    const CpuSample* first = nullptr;
    const CpuSample* last = nullptr;

    for (const auto& sample : cpuSamples)
    {
        if (first == nullptr && sample.sinceStartMs >= fromMs)
            first = &sample;
        if (sample.sinceStartMs <= toMs)
            last = &sample;
    }

    if (first == nullptr || last == nullptr || last->sinceStartMs - first->sinceStartMs < 1000.0)
        return std::nullopt;

    const auto span = last->sinceStartMs - first->sinceStartMs;
    CpuShare share;
    share.process = (last->cpuMs - first->cpuMs) / span;

    for (const auto& [name, cpuAtEnd] : last->threadCpuMs)
    {
        const auto before = first->threadCpuMs.find (name);
        share.threads[name] = (cpuAtEnd - (before != first->threadCpuMs.end() ? before->second : 0.0)) / span;
    }

    for (const auto& [name, runsAtEnd] : last->threadRuns)
    {
        const auto before = first->threadRuns.find (name);
        share.runsPerSecond[name] =
            (runsAtEnd - (before != first->threadRuns.end() ? before->second : 0.0)) * 1000.0 / span;
    }
    return share;
}

std::string ChildProcess::ownPath()
{
    char path[4096] = {};
    const auto length = readlink ("/proc/self/exe", path, sizeof (path) - 1);
    return length > 0 ? std::string (path, static_cast<size_t> (length)) : std::string();
}

} // namespace bench
