#pragma once

#include <juce_core/juce_core.h>

#include <mutex>
#include <vector>

namespace downloader_test
{

/**
    One ordered record, shared by the fake transport and the fake controller, of
    what the downloader does: every transport call and every message posted to
    the controller, stamped with the calling thread at the moment of the call.
    Its order shows what happened between two packages without timing anything.
*/
class CallJournal
{
public:
    enum class Kind
    {
        sendSysEx,
        findDevice,
        closeDevice,
        getDeviceName,
        sendAndReceive,
        post
    };

    struct Entry
    {
        Kind kind = Kind::post;
        juce::Array<juce::uint8> bytes; // the message sent or the request made
        int value = 0;                  // model byte, maximum pauses or message code
        double progress = 0.0;          // the value of a posted ProgressUpdate
        juce::String threadName;        // empty off JUCE threads (the message thread here)
        bool onMessageThread = false;
        juce::uint32 timeMs = 0;
    };

    /** Stamps the entry with the calling thread and the time, then appends it. */
    void add (Entry entry);

    std::vector<Entry> entries() const;
    std::vector<Entry> entriesOf (Kind kind) const;
    size_t count (Kind kind) const;

    /** The bytes of every sendSysEx call, in order. */
    std::vector<juce::Array<juce::uint8>> sent() const;

private:
    mutable std::mutex lock;
    std::vector<Entry> log;
};

} // namespace downloader_test
