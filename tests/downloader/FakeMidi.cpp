#include "FakeMidi.h"

namespace downloader_test
{

FakeMidi::FakeMidi (CallJournal& journalToUse)
    : journal (journalToUse)
{
}

bool FakeMidi::findDevice (int modelByte)
{
    CallJournal::Entry entry;
    entry.kind = CallJournal::Kind::findDevice;
    entry.value = modelByte;
    journal.add (entry);

    // Only the transfer thread is ever held: the search at start-up runs on the message thread.
    if (findIsHeld && juce::Thread::getCurrentThread() != nullptr)
        holdHere();

    if (juce::Thread::currentThreadShouldExit())
        return false;

    const std::lock_guard<std::mutex> guard (scriptLock);
    answered = findResults.empty() ? 0 : findResults.front();
    if (!findResults.empty())
        findResults.pop_front();
    return answered == 1;
}

void FakeMidi::closeDevice()
{
    CallJournal::Entry entry;
    entry.kind = CallJournal::Kind::closeDevice;
    journal.add (entry);
}

void FakeMidi::getDeviceName (juce::String& name)
{
    CallJournal::Entry entry;
    entry.kind = CallJournal::Kind::getDeviceName;
    journal.add (entry);
    name = deviceName;
}

bool FakeMidi::sendAndReceive (const juce::Array<juce::uint8>& request, juce::Array<juce::uint8>& replyOut,
                               int maxPauses)
{
    CallJournal::Entry entry;
    entry.kind = CallJournal::Kind::sendAndReceive;
    entry.bytes = request;
    entry.value = maxPauses;
    journal.add (entry);

    const std::lock_guard<std::mutex> guard (scriptLock);
    if (!reply.has_value())
        return false;

    replyOut = *reply;
    return true;
}

bool FakeMidi::sendSysEx (const juce::Array<juce::uint8>& message)
{
    CallJournal::Entry entry;
    entry.kind = CallJournal::Kind::sendSysEx;
    entry.bytes = message;
    journal.add (entry);

    if (sendCalls++ == sendToHold.load())
        holdHere();

    return true;
}

//==============================================================================
void FakeMidi::scriptFindResults (std::initializer_list<bool> results)
{
    const std::lock_guard<std::mutex> guard (scriptLock);
    findResults.clear();
    for (auto found : results)
        findResults.push_back (found ? 1 : 0);
}

void FakeMidi::scriptPedalsAnswering (std::initializer_list<int> counts)
{
    const std::lock_guard<std::mutex> guard (scriptLock);
    findResults.assign (counts.begin(), counts.end());
}

void FakeMidi::setReply (std::optional<juce::Array<juce::uint8>> newReply)
{
    const std::lock_guard<std::mutex> guard (scriptLock);
    reply = std::move (newReply);
}

void FakeMidi::holdFindDevice()
{
    findIsHeld = true;
}

void FakeMidi::holdSend (int callNumber)
{
    sendToHold = callNumber;
}

void FakeMidi::release()
{
    released = true;
}

void FakeMidi::holdHere()
{
    ++held;

    while (!released && !juce::Thread::currentThreadShouldExit())
        juce::Thread::sleep (1);
}

} // namespace downloader_test
