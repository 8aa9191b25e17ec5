#pragma once

#include "RunRecord.h"
#include "SoakSettings.h"

namespace soak
{

/**
    Holds each update's report against the pedals' own account of it.

    Success may be reported only when the pedal that answered the revision query
    passed its flash check and its answer, reaching the updater in time, carried
    the image's revision; every other requested update must be reported as a
    failure, and an interactive run whose button never came on as no update at all.
    A run whose faults cannot break an update must succeed outright, whatever the
    pedals say: the button comes on, the result is a success, and the pedal ends in
    normal operation with the image's revision.
    The pedal's flash must show exactly the blocks that the faults in transit let
    through, in order; an update whose bar showed the image sent must have reached
    a pedal; and nothing of the updater (threads, ports) may outlive it.
*/
class RunJudge
{
public:
    /** The outcome of an update, by the updater's report or by the pedals' account. */
    enum class Outcome
    {
        success,
        failure,
        noUpdate
    };

    RunJudge (const SoakSettings& settings, int threadsBefore);

    /** Everything wrong with the run; empty when the run is sound. */
    juce::StringArray problems (const RunRecord& record) const;

    /** What the updater reported for one update. */
    static Outcome reported (const RunRecord& record, const Attempt& attempt);

    /** What the pedals say the outcome of one update is. */
    Outcome pedalAccount (const RunRecord& record, const Attempt& attempt) const;

    static juce::String describe (Outcome outcome);

    /** The image's revision, which a successful update leaves on the pedal. */
    static constexpr juce::int32 imageRevision = 1222;

private:
    /** Whether the pedal's answer to the revision query reaches the updater in time. */
    bool answerArrives (const pedal::PedalConfig& config) const;

    /** Whether the updater's search can hear the pedal: plugged in from the start, on a
        pair it probes, acknowledging in time or within the search's second wait. */
    bool heardBySearch (const pedal::PedalConfig& config) const;
    static juce::int32 answeredRevision (const pedal::PedalConfig& config,
                                         const pedal::SimulatedPedal::Status& status);

    juce::StringArray checkAttempt (const RunRecord& record, size_t index) const;
    juce::StringArray checkFlash (const RunRecord& record, const Attempt& attempt) const;
    static juce::StringArray checkHarmless (const RunRecord& record, const Attempt& attempt);

    const SoakSettings settings;
    const int threadsBefore;
};

} // namespace soak
