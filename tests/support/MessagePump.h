#pragma once

#include <juce_events/juce_events.h>

#include <functional>

namespace testing_support
{

/** Delivers everything that is queued now (and what that delivery queues in turn,
    up to a bound), without sleeping: a sentinel goes behind the queue and the loop
    runs until it has been handled. */
void drainMessages (int rounds = 4);

/** Runs the message loop until `condition` holds or `timeoutMs` passes; true if it held. */
bool pumpUntil (const std::function<bool()>& condition, int timeoutMs = 5000);

/** Posts `message` to `target` the way its peer does, then delivers what that queued. */
template<typename Target, typename Message>
void deliver (Target& target, Message* message)
{
    target.post (message);
    drainMessages();
}

} // namespace testing_support
