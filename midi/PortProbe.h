#pragma once

#include "midi/PortLayer.h"
#include "midi/ProbeListener.h"
#include "midi/SearchReport.h"

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace midi
{

/** The two open ports of the pedal, with the listener its input delivers to. The
    input is declared after its listener, so that it is closed first. */
struct OpenPair
{
    std::unique_ptr<ProbeListener> listener;
    std::unique_ptr<InputPort> input;
    std::unique_ptr<OutputPort> output;
};

/**
    One search for the pedal: every candidate pair (an input and the outputs of
    exactly its name) is opened and probed at the same time, and each gets the probe
    wait to acknowledge, so that the search costs one probe wait however many ports
    the system has, and finds every pedal, not just the first.

    When a pair answered in time, the search listens one more probe wait: a second
    pedal that acknowledges late is still a pedal (any update would then be a guess
    at which one gets it), and a pair that acknowledges twice had the first of them
    left over from an earlier probe, which says nothing about this one. Its answers
    are never taken for the pedal's.

    An acknowledgement is credited to the input it arrives on: a pedal answers on
    its own input, whichever output carried the probe to it. Whatever the search
    opened and nobody took is closed when the object goes.
*/
class PortProbe
{
public:
    PortProbe (PortLayer& ports, juce::uint8 modelByte, int probeWaitMs);
    ~PortProbe();

    /** Opens the candidate pairs, sends the device probe once on each of their
        outputs and waits until each has had the probe wait (and, when one answered,
        a second for late answers). False when the calling
        juce::Thread was asked to exit meanwhile (the report then says nothing). */
    bool run();

    const SearchReport& getReport() const noexcept { return report; }

    /** Hands over the ports of the pair that answered at `pairIndex`, its input now
        delivering to `target` as well. When several outputs carry the pair's name,
        they are probed one after another, in list order, and the first that makes
        the pedal acknowledge on this input is taken. False when no output did, or
        the calling thread was asked to exit (`stopped` set then). */
    bool takePair (size_t pairIndex, juce::MidiInputCallback& target, OpenPair& taken, bool& stopped);

private:
    struct Candidate
    {
        std::unique_ptr<ProbeListener> listener;
        std::unique_ptr<InputPort> input;
    };

    /** On the hi-res millisecond counter: just before the probe's send, and when the
        send returned. The pedal's wait begins once the probe is out; an answer may
        come before the send returns. */
    struct ProbeTimes
    {
        double sending = 0.0;
        double sent = 0.0;
    };

    ProbeTimes sendProbe (int index);

    /** Fills in each pair's answer from what its listener noted; how many answered
        in time. */
    int judgeAnswers();

    PortLayer& ports;
    const juce::uint8 model;
    const int probeWaitMs;

    SearchReport report;
    std::vector<Candidate> candidates; // one per report pair
    std::map<int, std::unique_ptr<OutputPort>> outputs;
    std::map<int, ProbeTimes> probeTimes;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PortProbe)
};

} // namespace midi
