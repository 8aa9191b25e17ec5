#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <vector>

namespace pedal
{

/**
    When the messages of an update reached the pedal, and what that says about the
    updater's pauses as the pedal sees them: the wait between the erase and the first
    flash block, the gaps between consecutive blocks, the pause between the end of the
    image and the first device probe of the restarted pedal, and how long the updater
    listens after a probe before it sends anything else.

    Not thread-safe: the pedal notes arrivals under its own queue lock.
*/
class ArrivalTimes
{
public:
    /** What an arriving message is, as far as the pacing goes. */
    enum class Kind
    {
        beginUpdate, ///< 51 01: erase, a new update begins
        block,       ///< 52 and a whole block
        endOfImage,  ///< 52 01
        probe,       ///< 00: the device probe
        other        ///< anything else for the pedal (revision query, malformed messages)
    };

    struct Gaps
    {
        int count = 0;
        double minMs = 0.0, medianMs = 0.0, p99Ms = 0.0, maxMs = 0.0;
    };

    /** The updater's single pauses, on arrival; negative where the messages that
        bound one never came. */
    struct Waits
    {
        double eraseToBlockMs = -1.0; ///< begin-update package to the first block after it
        double endToProbeMs = -1.0;   ///< end of the image to the first probe after it
        double probeToNextMs = -1.0;  ///< shortest time from a probe to the message after it
    };

    /** Sorts a message the pedal received; only messages with its device header count. */
    static Kind kindOf (const juce::MidiMessage& message);

    /** Notes a message for the pedal that arrived at `timeMs`. A begin-update package
        starts a new update: the blocks and the end of the one before are forgotten. */
    void note (Kind kind, double timeMs);

    /** Gaps between consecutive blocks of the current update. */
    Gaps gaps() const;

    /** The waits of the current update; the probe figure covers every probe so far. */
    Waits waits() const;

private:
    std::vector<double> blockTimesMs;
    double beginMs = -1.0, endMs = -1.0, firstProbeAfterEndMs = -1.0;
    double lastProbeMs = -1.0, shortestProbeToNextMs = -1.0;
};

} // namespace pedal
