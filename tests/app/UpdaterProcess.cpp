#include "UpdaterProcess.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace app_testing
{

namespace
{
double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli> (steady_clock::now().time_since_epoch()).count();
}

/** JUCE keys the guard on the application's name: a lock file in /var/tmp. */
const char* const lockFile = "/var/tmp/juceAppLock_Corvane by morvell";
} // namespace

//==============================================================================
UpdaterProcess::UpdaterProcess (const std::string& program, const std::vector<std::string>& arguments,
                                const std::vector<std::string>& environment)
{
    std::vector<std::string> args{program};
    args.insert (args.end(), arguments.begin(), arguments.end());

    std::vector<std::string> env;
    for (auto** entry = environ; *entry != nullptr; ++entry)
    {
        const std::string text (*entry);
        const auto name = text.substr (0, text.find ('='));
        bool removed = false;
        for (const auto& change : environment)
            removed = removed || change == name;
        if (!removed)
            env.push_back (text);
    }
    for (const auto& change : environment)
        if (change.find ('=') != std::string::npos)
            env.push_back (change);

    char pattern[] = "/tmp/updater-process-XXXXXX";
    if (::mkdtemp (pattern) != nullptr)
    {
        outputFile = std::string (pattern) + "/stdout";
        errorFile = std::string (pattern) + "/stderr";
    }

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init (&files);
    posix_spawn_file_actions_addopen (&files, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen (&files, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::vector<char*> argv, envp;
    for (auto& a : args)
        argv.push_back (a.data());
    argv.push_back (nullptr);
    for (auto& e : env)
        envp.push_back (e.data());
    envp.push_back (nullptr);

    startedMs = nowMs();
    if (outputFile.empty() ||
        posix_spawn (&pid, program.c_str(), &files, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;

    posix_spawn_file_actions_destroy (&files);
}

UpdaterProcess::~UpdaterProcess()
{
    if (isStarted() && isRunning())
    {
        ::kill (pid, SIGKILL);
        reap (true);
    }

    if (!outputFile.empty())
    {
        std::remove (outputFile.c_str());
        std::remove (errorFile.c_str());
        ::rmdir (outputFile.substr (0, outputFile.rfind ('/')).c_str());
    }
}

namespace
{
std::string contentsOf (const std::string& path)
{
    std::ifstream file (path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}
} // namespace

std::string UpdaterProcess::getOutput() const
{
    return contentsOf (outputFile);
}

std::string UpdaterProcess::getErrors() const
{
    return contentsOf (errorFile);
}

bool UpdaterProcess::reap (bool block)
{
    if (ended)
        return true;

    int status = 0;
    const auto result = ::waitpid (pid, &status, block ? 0 : WNOHANG);

    if (result != pid)
        return false;

    ended = true;
    endedMs = nowMs();

    if (WIFEXITED (status))
        exitCode = WEXITSTATUS (status);
    else if (WIFSIGNALED (status))
        terminatingSignal = WTERMSIG (status);

    return true;
}

bool UpdaterProcess::isRunning()
{
    return isStarted() && !reap (false);
}

std::optional<int> UpdaterProcess::waitForExit (int timeoutMs)
{
    const auto end = nowMs() + timeoutMs;

    while (isRunning() && nowMs() < end)
        std::this_thread::sleep_for (std::chrono::milliseconds (5));

    if (!ended || terminatingSignal != 0)
        return std::nullopt;

    // The exit status carries the low eight bits: -1 reads as 255.
    return static_cast<signed char> (exitCode);
}

void UpdaterProcess::sendSignal (int signal)
{
    if (isRunning())
        ::kill (pid, signal);
}

//==============================================================================
pid_t singleInstanceHolder()
{
    const auto handle = ::open (lockFile, O_RDONLY);
    if (handle < 0)
        return 0;

    // Asks who holds the lock without taking it (F_GETLK needs no write access).
    struct flock query;
    std::memset (&query, 0, sizeof (query));
    query.l_type = F_WRLCK;
    query.l_whence = SEEK_SET;

    const auto result = ::fcntl (handle, F_GETLK, &query);
    ::close (handle);

    return result == 0 && query.l_type != F_UNLCK ? query.l_pid : 0;
}

int countUpdaterWindows()
{
    auto* pipe = ::popen ("xwininfo -root -tree 2>/dev/null", "r");
    if (pipe == nullptr)
        return -1;

    int count = 0;
    char line[1024];
    while (std::fgets (line, sizeof (line), pipe) != nullptr)
        if (std::strstr (line, "\"Firmware Updater\"") != nullptr)
            ++count;

    ::pclose (pipe);
    return count;
}

} // namespace app_testing
