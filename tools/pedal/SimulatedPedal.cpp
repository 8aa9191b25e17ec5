#include "tools/pedal/SimulatedPedal.h"

#include "tools/pedal/PedalProtocol.h"

#include <cmath>
#include <utility>

namespace pedal
{

namespace
{

/** The answer to the revision query: H 03, then the first `numBytes` bytes of the
    revision (least significant first), packed 7-in-8. */
juce::MidiMessage revisionReply (juce::int32 revision, int numBytes)
{
    const auto value = static_cast<juce::uint32> (revision);
    const juce::uint8 bytes[] = {static_cast<juce::uint8> (value), static_cast<juce::uint8> (value >> 8),
                                 static_cast<juce::uint8> (value >> 16),
                                 static_cast<juce::uint8> (value >> 24)};

    juce::Array<juce::uint8> body{revisionCommand};
    body.addArray (packSevenBit (bytes, numBytes));
    return pedalMessage (body);
}

const char* presenceName (SimulatedPedal::Presence presence)
{
    switch (presence)
    {
        case SimulatedPedal::Presence::off:
            return "off";
        case SimulatedPedal::Presence::online:
            return "online";
        case SimulatedPedal::Presence::restarting:
            return "restarting";
        case SimulatedPedal::Presence::unplugged:
            return "unplugged";
    }
    return "";
}

const char* checkName (SimulatedPedal::CheckOutcome outcome)
{
    switch (outcome)
    {
        case SimulatedPedal::CheckOutcome::notRun:
            return "not-run";
        case SimulatedPedal::CheckOutcome::passed:
            return "passed";
        case SimulatedPedal::CheckOutcome::failed:
            return "failed";
    }
    return "";
}

} // namespace

//==============================================================================
SimulatedPedal::SimulatedPedal (const PedalConfig& configToUse, PedalPorts& portsToUse)
    : juce::Thread ("Pedal")
    , config (configToUse)
    , ports (portsToUse)
    , foreignTraffic (configToUse.foreignKinds)
    , transit (configToUse)
{
    status.mode = config.mode;
    status.revision = config.startRevision;
    status.portName = config.portName (config.mode);
}

SimulatedPedal::~SimulatedPedal()
{
    stop();
}

void SimulatedPedal::start()
{
    {
        // The ports and the state change together (see PedalPorts), so whoever sees
        // the pedal online can open its ports, and the other way round.
        const juce::ScopedLock sl (stateLock);
        if (status.presence != Presence::off)
            return;

        // A pedal that is not connected shows no ports and answers nothing.
        if (!config.plugged)
        {
            status.presence = Presence::unplugged;
            return;
        }

        // Plugged in later: it appears the way it comes back from a restart.
        if (config.plugInMs > 0)
        {
            status.presence = Presence::unplugged;
            comebackMode = status.mode;
            comebackRevision = status.revision;
            comebackPending = true;
            comebackDue = now() + config.plugInMs;
        }
        else
        {
            ports.present (status.portName);
            status.presence = Presence::online;
        }
    }

    portsPresent = config.plugInMs == 0;
    nextForeignRound = now() + 1000.0 / config.foreignRate;
    startThread();
}

void SimulatedPedal::stop()
{
    // The thread only ever waits on its event, so this returns within one message's work.
    stopThread (10000);
}

void SimulatedPedal::receive (const juce::MidiMessage& message)
{
    {
        const juce::ScopedLock sl (queueLock);

        // The pacing is measured where the pedal sees it: on arrival, before any fault
        // in transit.
        if (isForPedal (message))
            arrivals.note (ArrivalTimes::kindOf (message), juce::Time::getMillisecondCounterHiRes());

        transit.pass (message, incoming);
    }
    notify();
}

void SimulatedPedal::holdRevisionAnswers (bool hold)
{
    revisionAnswersHeld = hold;
    notify();
}

void SimulatedPedal::setStateChangeCallback (std::function<void()> callback)
{
    jassert (!isThreadRunning());
    stateChanged = std::move (callback);
}

//==============================================================================
SimulatedPedal::Status SimulatedPedal::getStatus() const
{
    ArrivalTimes::Gaps gaps;
    ArrivalTimes::Waits waits;
    {
        const juce::ScopedLock ql (queueLock);
        gaps = arrivals.gaps();
        waits = arrivals.waits();
    }

    const juce::ScopedLock sl (stateLock);
    auto snapshot = status;
    snapshot.blockGaps = gaps;
    snapshot.waits = waits;
    snapshot.blockOrder = flash.getArrivalOrder();
    snapshot.duplicates = flash.getDuplicates();
    snapshot.missing = flash.getMissing();
    snapshot.malformedBlocks = flash.getMalformedCount();
    return snapshot;
}

juce::String SimulatedPedal::report() const
{
    const auto s = getStatus();
    juce::String text;

    auto line = [&text] (const char* key, const juce::String& value) { text << key << "=" << value << "\n"; };
    line ("state", presenceName (s.presence));
    line ("mode", s.mode == PedalMode::bootLoader ? "boot" : "normal");
    line ("name", s.portName);
    line ("revision", juce::String (s.revision));
    line ("erased", s.erased ? "1" : "0");
    line ("packages", juce::String (s.packages));
    line ("blocks", juce::String (static_cast<int> (s.blockOrder.size())));
    line ("block-order", formatBlockList (s.blockOrder));
    line ("duplicates", formatBlockList (s.duplicates));
    line ("missing", formatBlockList (s.missing));
    line ("malformed", juce::String (s.malformedBlocks));
    line ("check", checkName (s.check));
    line ("check-reason", s.checkReason);
    line ("restarts", juce::String (s.restarts));
    line ("probes", juce::String (s.probes));
    line ("queries", juce::String (s.queries));
    // Times are cut, not rounded, to hundredths: a pause a little shorter than it
    // should be must not read as long enough. Empty where the messages that bound a
    // pause never came.
    auto ms = [] (double value)
    { return value < 0.0 ? juce::String() : juce::String (std::floor (value * 100.0) / 100.0, 2); };
    line ("block-gaps", juce::String (s.blockGaps.count));
    line ("gap-min-ms", ms (s.blockGaps.minMs));
    line ("gap-median-ms", ms (s.blockGaps.medianMs));
    line ("gap-p99-ms", ms (s.blockGaps.p99Ms));
    line ("gap-max-ms", ms (s.blockGaps.maxMs));
    line ("erase-to-block-ms", ms (s.waits.eraseToBlockMs));
    line ("end-to-probe-ms", ms (s.waits.endToProbeMs));
    line ("probe-to-next-ms", ms (s.waits.probeToNextMs));
    return text;
}

juce::String SimulatedPedal::formatBlockList (const std::vector<int>& numbers)
{
    juce::StringArray runs;

    for (size_t i = 0; i < numbers.size();)
    {
        auto end = i;
        while (end + 1 < numbers.size() && numbers[end + 1] == numbers[end] + 1)
            ++end;

        runs.add (end == i ? juce::String (numbers[i])
                           : juce::String (numbers[i]) + "-" + juce::String (numbers[end]));
        i = end + 1;
    }
    return runs.joinIntoString (",");
}

//==============================================================================
void SimulatedPedal::run()
{
    while (!threadShouldExit())
    {
        std::vector<juce::MidiMessage> batch;
        {
            const juce::ScopedLock sl (queueLock);
            batch.swap (incoming);
        }

        for (auto& message : batch)
        {
            if (threadShouldExit())
                return;
            handle (message);
        }

        runDueWork();
        wait (millisecondsUntilNextWork());
    }
}

void SimulatedPedal::handle (const juce::MidiMessage& message)
{
    Presence presence;
    juce::int32 revision;
    {
        const juce::ScopedLock sl (stateLock);
        presence = status.presence;
        revision = status.revision;
    }

    // A message that reaches a pedal without ports was sent to a port that is gone.
    if (presence != Presence::online || !isForPedal (message))
        return;

    const auto* data = message.getSysExData();
    const int size = message.getSysExDataSize();
    if (size <= deviceHeaderSize)
        return;

    const auto command = data[deviceHeaderSize];

    if (command == probeCommand && size == deviceHeaderSize + 1)
    {
        {
            const juce::ScopedLock sl (stateLock);
            ++status.probes;
        }

        if (config.acknowledge != PedalConfig::Answer::none)
            sendOrSchedule (pedalMessage ({acknowledgeCommand}), config.acknowledgeDelayMs);

        changed();
    }
    else if (command == revisionCommand && size == deviceHeaderSize + 1)
    {
        {
            const juce::ScopedLock sl (stateLock);
            ++status.queries;
        }

        answerRevisionQuery (revision);
        changed();
    }
    else if (command == beginUpdateCommand || command == blockCommand)
    {
        handleFirmware (data, size);
        changed();
    }
}

void SimulatedPedal::handleFirmware (const juce::uint8* data, int size)
{
    const auto command = data[deviceHeaderSize];
    const bool endMarker = size == deviceHeaderSize + 2 && data[deviceHeaderSize + 1] == 0x01;
    bool finished = false;

    {
        const juce::ScopedLock sl (stateLock);
        ++status.packages;

        // Normal operation ignores firmware; the boot loader takes blocks only after an erase.
        if (status.mode != PedalMode::bootLoader)
            return;

        if (command == beginUpdateCommand)
        {
            if (endMarker)
            {
                flash.erase();
                status.erased = true;
                status.revision = 0;
                status.check = CheckOutcome::notRun;
                status.checkReason.clear();
            }
            return;
        }

        if (!status.erased)
            return;

        if (endMarker)
        {
            finished = true;
        }
        else if (size == packedDataOffset + packedBlockSize)
        {
            const auto block = unpackSevenBit (data + packedDataOffset, packedBlockSize);
            flash.store (block.begin(), block.size());
        }
        else
        {
            flash.noteMalformed();
        }
    }

    if (finished)
        finishUpdate();
}

void SimulatedPedal::answerRevisionQuery (juce::int32 revision)
{
    using RevisionAnswer = PedalConfig::RevisionAnswer;

    if (revisionAnswersHeld)
    {
        heldRevisionAnswers.push_back (revision);
        return;
    }

    switch (config.revisionAnswer)
    {
        case RevisionAnswer::prompt:
            ports.send (revisionReply (revision, 4));
            break;
        case RevisionAnswer::none:
            break;
        case RevisionAnswer::late:
            sendOrSchedule (revisionReply (revision, 4), config.revisionDelayMs);
            break;
        case RevisionAnswer::tooShort:
            ports.send (revisionReply (revision, 3));
            break;
        case RevisionAnswer::twice:
            ports.send (revisionReply (revision, 4));
            ports.send (revisionReply (revision, 4));
            break;
        case RevisionAnswer::wrong:
            ports.send (revisionReply (config.wrongRevision, 4));
            break;
    }
}

void SimulatedPedal::finishUpdate()
{
    const bool unplug = config.neverRestarts;
    FlashMemory::CheckResult result;
    {
        const juce::ScopedLock sl (stateLock);
        result = flash.check();

        ports.withdraw();
        status.check = result.passed ? CheckOutcome::passed : CheckOutcome::failed;
        status.checkReason = result.reason;
        status.erased = false;
        status.presence = unplug ? Presence::unplugged : Presence::restarting;
        ++status.restarts;
    }

    pendingSends.clear();
    portsPresent = false;

    // A failed check leaves the flash erased: the boot loader comes back with nothing to report.
    comebackMode = result.passed ? PedalMode::normal : PedalMode::bootLoader;
    comebackRevision = result.passed ? result.revision : 0;
    comebackPending = !unplug;
    comebackDue = now() + config.restartMs;
}

void SimulatedPedal::comeBack()
{
    comebackPending = false;
    {
        const juce::ScopedLock sl (stateLock);
        status.mode = comebackMode;
        status.revision = comebackRevision;
        status.portName = config.portName (comebackMode);
        ports.present (status.portName);
        status.presence = Presence::online;
    }

    portsPresent = true;
    nextForeignRound = now() + 1000.0 / config.foreignRate;
    changed();
}

void SimulatedPedal::runDueWork()
{
    const auto t = now();

    if (comebackPending && t >= comebackDue)
        comeBack();

    if (!revisionAnswersHeld && !heldRevisionAnswers.empty())
        for (const auto revision : std::exchange (heldRevisionAnswers, {}))
            answerRevisionQuery (revision);

    for (auto it = pendingSends.begin(); it != pendingSends.end();)
    {
        if (t >= it->due)
        {
            auto message = it->message;
            it = pendingSends.erase (it);
            ports.send (message);
        }
        else
        {
            ++it;
        }
    }

    if (portsPresent && !foreignTraffic.isEmpty() && t >= nextForeignRound)
    {
        for (int i = 0; i < config.foreignBurst; ++i)
            ports.send (foreignTraffic.next());

        // After a stall, carry on at the set rate instead of catching up in a flood.
        const auto period = 1000.0 / config.foreignRate;
        nextForeignRound = juce::jmax (nextForeignRound + period, t);
    }
}

int SimulatedPedal::millisecondsUntilNextWork() const
{
    const auto t = now();
    double next = -1.0;

    auto consider = [&next] (double due)
    {
        if (next < 0.0 || due < next)
            next = due;
    };

    if (comebackPending)
        consider (comebackDue);

    for (auto& pending : pendingSends)
        consider (pending.due);

    if (portsPresent && !foreignTraffic.isEmpty())
        consider (nextForeignRound);

    if (next < 0.0)
        return -1;

    return static_cast<int> (std::ceil (juce::jmax (0.0, next - t)));
}

void SimulatedPedal::sendOrSchedule (const juce::MidiMessage& message, int delayMs)
{
    if (delayMs <= 0)
        ports.send (message);
    else
        pendingSends.push_back ({now() + delayMs, message});
}

void SimulatedPedal::changed()
{
    if (stateChanged)
        stateChanged();
}

double SimulatedPedal::now()
{
    return juce::Time::getMillisecondCounterHiRes();
}

} // namespace pedal
