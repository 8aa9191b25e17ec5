#pragma once

namespace midi
{

/** Waits `milliseconds`. On a juce::Thread the wait ends early, returning false, as
    soon as the thread is asked to exit; elsewhere it always runs to its end. */
bool pauseUnlessStopped (int milliseconds);

/** The same, until `endMs` on the hi-res millisecond counter (at once when it has passed). */
bool pauseUntil (double endMs);

} // namespace midi
