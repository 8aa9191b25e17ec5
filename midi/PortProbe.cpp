#include "midi/PortProbe.h"

#include "midi/SysExFormat.h"
#include "midi/ThreadPause.h"

namespace midi
{

PortProbe::PortProbe (PortLayer& portLayer, juce::uint8 modelByte, int waitMs)
    : ports (portLayer)
    , model (modelByte)
    , probeWaitMs (waitMs)
{
}

PortProbe::~PortProbe()
{
    // An input is closed before its listener: closing waits for a running callback.
    for (auto& candidate : candidates)
        candidate.input.reset();
}

bool PortProbe::run()
{
    report.inputs = ports.getInputNames();
    report.outputs = ports.getOutputNames();

    // The pedal shows one input and one output of the same name; nothing else about
    // the names matters here, letter case included.
    for (int i = 0; i < report.inputs.size(); ++i)
    {
        SearchReport::Pair pair;
        pair.name = report.inputs[i];
        pair.input = i;

        for (int j = 0; j < report.outputs.size(); ++j)
            if (report.outputs[j] == pair.name)
                pair.outputs.add (j);

        if (!pair.outputs.isEmpty())
            report.pairs.push_back (pair);
    }

    candidates.resize (report.pairs.size());

    for (size_t k = 0; k < report.pairs.size(); ++k)
    {
        auto& candidate = candidates[k];
        candidate.listener = std::make_unique<ProbeListener> (model);
        candidate.input = ports.openInput (report.pairs[k].input, *candidate.listener);

        if (candidate.input != nullptr)
            candidate.input->start();
    }

    // Each output goes out once, even when several inputs carry its name; one that
    // cannot be opened is left out, like a pair whose input cannot be.
    for (size_t k = 0; k < report.pairs.size(); ++k)
    {
        if (candidates[k].input == nullptr)
            continue;

        for (auto j : report.pairs[k].outputs)
        {
            if (outputs.count (j) == 0)
            {
                auto port = ports.openOutput (j);
                if (port == nullptr)
                    continue;

                outputs[j] = std::move (port);
                probeTimes[j] = sendProbe (j);
            }

            report.pairs[k].probed = true;
        }
    }

    if (probeTimes.empty())
        return true;

    double lastSent = 0.0;
    for (const auto& [j, times] : probeTimes)
        lastSent = juce::jmax (lastSent, times.sent);

    // Each acknowledgement keeps its arrival time: the pairs that answered in time
    // are known once the wait is over.
    if (!pauseUntil (lastSent + probeWaitMs))
        return false;

    // Nothing to tell apart when nobody answered in time.
    if (judgeAnswers() > 0 && !pauseUntil (lastSent + 2.0 * probeWaitMs))
        return false;

    judgeAnswers();
    return true;
}

int PortProbe::judgeAnswers()
{
    int inTime = 0;

    for (size_t k = 0; k < report.pairs.size(); ++k)
    {
        auto& pair = report.pairs[k];
        const auto& listener = *candidates[k].listener;
        const auto acknowledged = listener.acknowledgedAt();

        if (!pair.probed || !acknowledged.has_value())
            continue;

        // Timed from the first probe that could have reached the pedal on this input;
        // an acknowledgement from before it went out answered an earlier one.
        std::optional<ProbeTimes> first;
        for (auto j : pair.outputs)
            if (probeTimes.count (j) != 0 && (!first.has_value() || probeTimes[j].sending < first->sending))
                first = probeTimes[j];

        if (!first.has_value())
            continue;

        pair.answerMs = *acknowledged - first->sending;
        pair.answered = pair.answerMs >= 0.0 && *acknowledged <= first->sent + probeWaitMs;
        pair.answeredLate = !pair.answered;
        pair.answeredTwice = listener.acknowledgements() > 1;
        inTime += pair.answered ? 1 : 0;
    }

    return inTime;
}

bool PortProbe::takePair (size_t pairIndex, juce::MidiInputCallback& target, OpenPair& taken, bool& stopped)
{
    stopped = false;

    if (pairIndex >= report.pairs.size() || !report.pairs[pairIndex].answered)
        return false;

    const auto& pair = report.pairs[pairIndex];
    auto& candidate = candidates[pairIndex];

    juce::Array<int> open;
    for (auto j : pair.outputs)
        if (outputs.count (j) != 0 && outputs[j] != nullptr)
            open.add (j);

    int chosen = open.size() == 1 ? open.getFirst() : -1;

    // Several outputs of one name: which of them reaches the pedal only a probe on
    // each alone can tell.
    for (int k = 0; chosen < 0 && k < open.size(); ++k)
    {
        candidate.listener->forgetAcknowledgement();
        const auto times = sendProbe (open[k]);

        if (!pauseUntil (times.sent + probeWaitMs))
        {
            stopped = true;
            return false;
        }

        const auto acknowledged = candidate.listener->acknowledgedAt();
        if (acknowledged.has_value() && *acknowledged <= times.sent + probeWaitMs)
            chosen = open[k];
    }

    if (chosen < 0)
        return false;

    // The ports held before go first, each input before its listener.
    taken.input.reset();
    taken.output.reset();

    candidate.listener->passOnTo (&target);
    taken.listener = std::move (candidate.listener);
    taken.input = std::move (candidate.input);
    taken.output = std::move (outputs[chosen]);
    outputs.erase (chosen);
    return true;
}

PortProbe::ProbeTimes PortProbe::sendProbe (int index)
{
    ProbeTimes times;
    times.sending = juce::Time::getMillisecondCounterHiRes();
    const auto probe = deviceCommand (model, probeCommand);
    outputs[index]->sendMessageNow (juce::MidiMessage::createSysExMessage (probe.begin(), probe.size()));
    times.sent = juce::Time::getMillisecondCounterHiRes();
    return times;
}

} // namespace midi
