// What the simulated pedal makes of anything arriving on its input, through the
// faults of the cable: it never reads past a message, stores only blocks 0 to 489,
// keeps its account of received, duplicated and missing blocks consistent, and
// after each restart comes back with both ports and keeps answering.
//
// Input: one byte of flags (bit 0: the pedal starts in normal operation; bits 1 to
// 4: a block lost, duplicated, reordered or corrupted in transit, each followed by
// its number as a word), then messages (FuzzedMessages, for the pedal's model byte).

#include "midi/SysExFormat.h"
#include "support/CountingPedalPorts.h"
#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "support/FuzzTarget.h"
#include "support/FuzzedMessages.h"
#include "tools/pedal/PedalProtocol.h"
#include "tools/pedal/SimulatedPedal.h"

#include <cstddef>
#include <cstdint>
#include <map>

using fuzzing::CountingPedalPorts;
using fuzzing::FuzzedMessages;
using fuzzing::FuzzInput;
using pedal::SimulatedPedal;

namespace
{

constexpr int maxMessages = 48;

bool isRevisionQuery (const juce::MidiMessage& message)
{
    return pedal::isForPedal (message) && message.getSysExDataSize() == midi::deviceHeaderSize + 1 &&
           message.getSysExData()[midi::deviceHeaderSize] == midi::revisionQueryCommand;
}

/** The boot loader's end-of-image package: after it the pedal may restart. */
bool mayEndImage (const juce::MidiMessage& message)
{
    return pedal::isForPedal (message) && message.getSysExDataSize() == midi::deviceHeaderSize + 2 &&
           message.getSysExData()[midi::deviceHeaderSize] == pedal::blockCommand &&
           message.getSysExData()[midi::deviceHeaderSize + 1] == 0x01;
}

pedal::PedalConfig readConfig (FuzzInput& input)
{
    pedal::PedalConfig config;
    config.restartMs = 0;

    const auto flags = input.nextByte();
    config.mode = (flags & 1) != 0 ? pedal::PedalMode::normal : pedal::PedalMode::bootLoader;

    pedal::BlockSelection* faults[] = {&config.lostBlocks, &config.duplicatedBlocks, &config.reorderedBlocks,
                                       &config.corruptedBlocks};

    for (int bit = 0; bit < 4; ++bit)
        if ((flags & (2 << bit)) != 0)
            faults[bit]->numbers.insert (input.nextWord() % pedal::PedalConfig::numBlocks);

    return config;
}

/**
    Drives one pedal. Everything the pedal receives is handled on its own thread, in
    order; a revision query sent after a run of messages and seen answered (counted)
    marks the run as handled. A query that reaches the pedal while it restarts is
    lost like any other message, so after a restart the marker is sent again.
*/
class PedalDriver
{
public:
    explicit PedalDriver (const pedal::PedalConfig& config)
        : pedal (config, ports)
    {
        pedal.setStateChangeCallback ([this] { changed.signal(); });
        pedal.start();
    }

    /** Hands over the messages and waits until the pedal has handled them. */
    bool deliverAndSettle (const std::vector<juce::MidiMessage>& run)
    {
        const auto status = pedal.getStatus();
        auto expectedQueries = status.queries + 1;
        const auto withdrawals = ports.getWithdrawals();

        for (auto& message : run)
        {
            expectedQueries += isRevisionQuery (message) ? 1 : 0;
            pedal.receive (message);
        }

        pedal.receive (marker);
        bool resent = false;
        const auto deadline = juce::Time::getMillisecondCounter() + 10000;

        while (juce::Time::getMillisecondCounter() < deadline)
        {
            const auto now = pedal.getStatus();
            if (now.queries >= expectedQueries)
                return true;

            if (!resent && ports.getWithdrawals() > withdrawals &&
                now.presence == SimulatedPedal::Presence::online)
            {
                resent = true;
                expectedQueries = now.queries + 1;
                pedal.receive (marker);
            }

            changed.wait (5);
        }
        return false;
    }

    SimulatedPedal::Status getStatus() const { return pedal.getStatus(); }
    const CountingPedalPorts& getPorts() const { return ports; }

private:
    const juce::MidiMessage marker = pedal::pedalMessage ({midi::revisionQueryCommand});
    CountingPedalPorts ports;
    juce::WaitableEvent changed;
    SimulatedPedal pedal;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    FuzzInput input (data, size);
    const auto config = readConfig (input);

    std::vector<juce::MidiMessage> messages;
    while (!input.isEmpty() && messages.size() < maxMessages)
        messages.push_back (FuzzedMessages::read (input, pedal::modelByte));

    PedalDriver driver (config);

    // Runs end where the pedal may restart, so that each marker is sent while it is online.
    std::vector<juce::MidiMessage> run;
    for (auto& message : messages)
    {
        run.push_back (message);
        if (mayEndImage (message))
        {
            FUZZ_CHECK (driver.deliverAndSettle (run));
            run.clear();
        }
    }

    // The second marker follows a block that the first one let through after itself.
    FUZZ_CHECK (driver.deliverAndSettle (run));
    FUZZ_CHECK (driver.deliverAndSettle ({}));

    //==============================================================================
    const auto status = driver.getStatus();
    const auto& ports = driver.getPorts();

    FUZZ_CHECK (status.presence == SimulatedPedal::Presence::online && ports.isPresent());
    FUZZ_CHECK (!ports.wereCallsOutOfOrder());
    FUZZ_CHECK (status.restarts == ports.getPresents() - 1);

    std::map<int, int> received;
    for (auto block : status.blockOrder)
    {
        FUZZ_CHECK (block >= 0 && block < pedal::FlashMemory::numBlocks);
        ++received[block];
    }

    std::vector<int> duplicates, missing;
    for (int block = 0; block < pedal::FlashMemory::numBlocks; ++block)
    {
        if (received[block] > 1)
            duplicates.push_back (block);
        if (received[block] == 0)
            missing.push_back (block);
    }

    FUZZ_CHECK (status.duplicates == duplicates);
    FUZZ_CHECK (status.missing == missing);
    return 0;
}
