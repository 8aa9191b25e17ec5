#include "bench/WireLog.h"

#include "bench/Clock.h"
#include "midi/SysExFormat.h"
#include "tools/pedal/PedalProtocol.h"

namespace bench
{

namespace
{
/** What follows the pedal's device header: a command byte, alone or with one argument byte. */
struct Command
{
    int code = -1;     ///< -1: not a message of the pedal, or none
    int argument = -1; ///< -1: no argument byte, or more than one
    bool bare = false; ///< the command byte is the last data byte

    explicit Command (const juce::MidiMessage& message)
    {
        if (!pedal::isForPedal (message))
            return;

        const auto* data = message.getSysExData();
        const int size = message.getSysExDataSize();

        if (size > midi::deviceHeaderSize)
            code = data[midi::deviceHeaderSize];

        bare = size == midi::deviceHeaderSize + 1;

        if (size == midi::deviceHeaderSize + 2)
            argument = data[midi::deviceHeaderSize + 1];
    }
};
} // namespace

void WireLog::noteSent (const juce::MidiMessage& message)
{
    const auto now = Clock::nowMs();
    const Command command (message);
    const std::lock_guard<std::mutex> guard (lock);

    if (command.code == pedal::beginUpdateCommand && command.argument == 1)
    {
        if (!summary.firstPackageMs.has_value())
        {
            summary.firstPackageMs = now;
            summary.cpuMsAtFirstPackage = Clock::processCpuMs();
        }
        return;
    }

    if (!summary.firstPackageMs.has_value())
        return;

    if (pedal::isBlockPackage (message))
        ++summary.blocksSent;
    else if (command.code == pedal::blockCommand && command.argument == 1)
        summary.endMarkerMs = now;
    else if (command.code == midi::probeCommand && command.bare)
        ++summary.probesAfterFirstPackage;
}

void WireLog::noteReceived (const juce::MidiMessage& message)
{
    const auto now = Clock::nowMs();
    const Command command (message);
    const std::lock_guard<std::mutex> guard (lock);

    // Only the reply after the image counts: the one that ends the update.
    if (command.code == midi::revisionQueryCommand && summary.endMarkerMs.has_value() &&
        !summary.revisionReplyMs.has_value())
        summary.revisionReplyMs = now;
}

void WireLog::noteSearch()
{
    const std::lock_guard<std::mutex> guard (lock);
    if (summary.firstPackageMs.has_value())
        ++summary.searchesAfterFirstPackage;
}

WireLog::Summary WireLog::getSummary() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return summary;
}

} // namespace bench
