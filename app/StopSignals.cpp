#include "app/StopSignals.h"

#include <juce_events/juce_events.h>

#include <csignal>

#if JUCE_LINUX || JUCE_BSD
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace app
{

#if JUCE_LINUX || JUCE_BSD

namespace
{
/** The pipe's write end, for the handler: a signal handler has nothing else to go by. */
volatile std::sig_atomic_t pipeWriteEnd = -1;

void onSignal (int signalNumber)
{
    // Only async-signal-safe calls here: one byte into the pipe, errno left as it was.
    const auto savedErrno = errno;
    const auto byte = static_cast<unsigned char> (signalNumber);
    [[maybe_unused]] const auto written = ::write (pipeWriteEnd, &byte, 1);
    errno = savedErrno;
}

constexpr int handledSignals[] = {SIGINT, SIGTERM};
} // namespace

struct StopSignals::Native
{
    explicit Native (std::function<void (int)> callback)
        : onStop (std::move (callback))
    {
        jassert (pipeWriteEnd == -1); // one object at a time

        if (::pipe (ends) != 0)
            return;

        for (auto end : ends)
        {
            ::fcntl (end, F_SETFL, ::fcntl (end, F_GETFL) | O_NONBLOCK);
            ::fcntl (end, F_SETFD, FD_CLOEXEC);
        }

        pipeWriteEnd = ends[1];
        juce::LinuxEventLoop::registerFdCallback (ends[0], [this] (int fd) { readSignals (fd); });

        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset (&action.sa_mask);
        // Interrupted system calls elsewhere in the process (MIDI, X11) carry on.
        action.sa_flags = SA_RESTART;

        for (size_t i = 0; i < std::size (handledSignals); ++i)
            ::sigaction (handledSignals[i], &action, &previous[i]);

        installed = true;
    }

    ~Native()
    {
        if (!installed)
            return;

        for (size_t i = 0; i < std::size (handledSignals); ++i)
            ::sigaction (handledSignals[i], &previous[i], nullptr);

        juce::LinuxEventLoop::unregisterFdCallback (ends[0]);
        pipeWriteEnd = -1;
        ::close (ends[0]);
        ::close (ends[1]);
    }

    void readSignals (int fd)
    {
        unsigned char numbers[16];

        for (;;)
        {
            const auto count = ::read (fd, numbers, sizeof (numbers));
            if (count <= 0)
                return;

            for (ssize_t i = 0; i < count; ++i)
                onStop (numbers[i]);
        }
    }

    std::function<void (int)> onStop;
    int ends[2] = {-1, -1};
    struct sigaction previous[std::size (handledSignals)] = {};
    bool installed = false;
};

#else

struct StopSignals::Native
{
    explicit Native (std::function<void (int)>) {}
};

#endif

//==============================================================================
StopSignals::StopSignals (std::function<void (int)> onStop)
    : native (std::make_unique<Native> (std::move (onStop)))
{
}

StopSignals::~StopSignals() = default;

juce::String StopSignals::nameOf (int signalNumber)
{
    if (signalNumber == SIGINT)
        return "SIGINT";
    if (signalNumber == SIGTERM)
        return "SIGTERM";
    return "signal " + juce::String (signalNumber);
}

} // namespace app
