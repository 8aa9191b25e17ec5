#include "support/MessagePump.h"

#include <atomic>
#include <memory>

namespace testing_support
{

void drainMessages (int rounds)
{
    auto* mm = juce::MessageManager::getInstance();

    for (int i = 0; i < rounds; ++i)
    {
        auto done = std::make_shared<std::atomic<bool>> (false);
        juce::MessageManager::callAsync ([done] { *done = true; });

        while (!*done)
            if (!mm->runDispatchLoopUntil (1))
                return; // a quit was requested: nothing more will be delivered
    }
}

bool pumpUntil (const std::function<bool()>& condition, int timeoutMs)
{
    auto* mm = juce::MessageManager::getInstance();
    const auto end = juce::Time::getMillisecondCounter() + static_cast<juce::uint32> (timeoutMs);

    while (!condition())
    {
        if (juce::Time::getMillisecondCounter() >= end)
            return condition();
        mm->runDispatchLoopUntil (2);
    }
    return true;
}

} // namespace testing_support
