#include "midi/ThreadPause.h"

#include <juce_core/juce_core.h>

#include <cmath>

namespace midi
{

bool pauseUnlessStopped (int milliseconds)
{
    auto* thread = juce::Thread::getCurrentThread();

    if (thread == nullptr)
    {
        juce::Thread::sleep (milliseconds);
        return true;
    }

    // Thread::wait() also returns when anything notifies the thread, so wait again
    // for what is left unless the thread is asked to exit.
    const auto end = juce::Time::getMillisecondCounterHiRes() + milliseconds;

    for (;;)
    {
        if (thread->threadShouldExit())
            return false;

        const auto left = end - juce::Time::getMillisecondCounterHiRes();

        if (left <= 0.0)
            return true;

        thread->wait (juce::jmax (1, static_cast<int> (std::ceil (left))));
    }
}

} // namespace midi
