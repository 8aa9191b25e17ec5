#include "CallJournal.h"

#include <juce_events/juce_events.h>

namespace downloader_test
{

void CallJournal::add (Entry entry)
{
    if (auto* thread = juce::Thread::getCurrentThread())
        entry.threadName = thread->getThreadName();

    entry.onMessageThread = juce::MessageManager::existsAndIsCurrentThread();
    entry.timeMs = juce::Time::getMillisecondCounter();

    const std::lock_guard<std::mutex> guard (lock);
    log.push_back (std::move (entry));
}

std::vector<CallJournal::Entry> CallJournal::entries() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return log;
}

std::vector<CallJournal::Entry> CallJournal::entriesOf (Kind kind) const
{
    std::vector<Entry> result;
    for (auto& e : entries())
        if (e.kind == kind)
            result.push_back (e);
    return result;
}

size_t CallJournal::count (Kind kind) const
{
    return entriesOf (kind).size();
}

std::vector<juce::Array<juce::uint8>> CallJournal::sent() const
{
    std::vector<juce::Array<juce::uint8>> result;
    for (auto& e : entriesOf (Kind::sendSysEx))
        result.push_back (e.bytes);
    return result;
}

} // namespace downloader_test
