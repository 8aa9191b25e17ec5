#pragma once

#include <juce_core/juce_core.h>

#include <functional>

namespace midi_testing
{

/** Runs one call on a juce::Thread of its own, as the downloader calls the transport. */
struct WorkerThread : juce::Thread
{
    explicit WorkerThread (std::function<void()> f)
        : juce::Thread ("worker")
        , body (std::move (f))
    {
    }

    void run() override { body(); }

    std::function<void()> body;
};

} // namespace midi_testing
