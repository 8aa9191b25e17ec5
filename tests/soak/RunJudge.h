#pragma once

#include "RunRecord.h"
#include "SoakSettings.h"

namespace soak
{

/**
    Holds a run's report against the pedal's own account of it.

    Success may be reported only when the pedal that answered the revision query
    passed its flash check and its answer, reaching the updater in time, carried
    the image's revision; every other end must be reported as a failure (or, in an
    interactive run where the button never came on, as no update at all). The
    pedal's flash must show exactly the blocks that the faults in transit let
    through, in order, and nothing of the updater (threads, ports) may outlive it.
*/
class RunJudge
{
public:
    /** The outcome a run can have, by the updater's report or by the pedal's account. */
    enum class Outcome
    {
        success,
        failure,
        noUpdate
    };

    explicit RunJudge (const SoakSettings& settings, int threadsBefore);

    /** Everything wrong with the run; empty when the run is sound. */
    juce::StringArray problems (const RunRecord& record) const;

    /** What the updater reported. */
    static Outcome reported (const RunRecord& record);

    /** What the pedals say the outcome is. */
    Outcome pedalAccount (const RunRecord& record) const;

    static juce::String describe (Outcome outcome);

    /** The image's revision, which a successful update leaves on the pedal. */
    static constexpr juce::int32 imageRevision = 1222;

private:
    /** Whether the pedal's answer to the revision query reaches the updater in time,
        and the revision it carries. */
    bool answerArrives (const pedal::PedalConfig& config) const;
    static juce::int32 answeredRevision (const pedal::PedalConfig& config,
                                         const pedal::SimulatedPedal::Status& s);

    juce::StringArray checkFlash (const RunRecord& record) const;

    const SoakSettings settings;
    const int threadsBefore;
};

} // namespace soak
