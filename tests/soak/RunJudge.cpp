#include "RunJudge.h"

#include "ExpectedArrival.h"
#include "ViewSink.h"

namespace soak
{

namespace
{
using Status = pedal::SimulatedPedal::Status;
using Answer = pedal::PedalConfig::RevisionAnswer;

juce::String blocks (const std::vector<int>& numbers)
{
    const auto text = pedal::SimulatedPedal::formatBlockList (numbers);
    return text.isEmpty() ? juce::String ("none") : text;
}

/** The last transfer state of the bar: packages go out while it climbs to 0.6. */
constexpr double imageSentProgress = 0.6 - 1.0e-9;
} // namespace

RunJudge::RunJudge (const SoakSettings& s, int threads)
    : settings (s)
    , threadsBefore (threads)
{
}

//==============================================================================
RunJudge::Outcome RunJudge::reported (const RunRecord& record, const Attempt& attempt)
{
    if (attempt.resultText == ViewSink::successText)
        return Outcome::success;
    if (attempt.resultText == ViewSink::failureText)
        return Outcome::failure;

    // Without a result an unattended run has failed (no pedal); an interactive one updated nothing.
    return record.interactive ? Outcome::noUpdate : Outcome::failure;
}

RunJudge::Outcome RunJudge::pedalAccount (const RunRecord& record, const Attempt& attempt) const
{
    // An interactive user who never saw an enabled button updates nothing.
    if (record.interactive && !attempt.requested)
        return Outcome::noUpdate;

    // The verdict speaks for the pedal that answered the revision query during this
    // update: the one the updater found after the restart.
    for (size_t i = 0; i < attempt.pedalsAfter.size(); ++i)
    {
        const auto& after = attempt.pedalsAfter[i];
        const auto& config = record.pedalConfigs[i];

        if (after.queries == attempt.pedalsBefore[i].queries)
            continue;

        const bool good = after.check == pedal::SimulatedPedal::CheckOutcome::passed &&
                          answerArrives (config) && answeredRevision (config, after) == imageRevision;
        return good ? Outcome::success : Outcome::failure;
    }

    return Outcome::failure;
}

bool RunJudge::answerArrives (const pedal::PedalConfig& config) const
{
    switch (config.revisionAnswer)
    {
        case Answer::prompt:
        case Answer::twice:
        case Answer::wrong:
            return true;
        case Answer::late:
            // The soak plays late answers far outside the window, never near its edge.
            return config.revisionDelayMs < settings.revisionWindowMs() / 2;
        case Answer::none:
        case Answer::tooShort:
            return false;
    }
    return false;
}

bool RunJudge::heardBySearch (const pedal::PedalConfig& config) const
{
    using Ack = pedal::PedalConfig::Answer;

    // A pedal that never acknowledges, or whose pair is never probed, is no pedal to the
    // search; a late acknowledgement is heard within the second probe wait a search
    // listens when another pair answered.
    const bool acknowledges =
        config.acknowledge == Ack::prompt ||
        (config.acknowledge == Ack::late && config.acknowledgeDelayMs < 2 * settings.timing.probeWaitMs);

    return config.plugged && config.plugInMs == 0 && acknowledges &&
           config.names == pedal::PedalConfig::NamePairing::same && !config.inputUnopenable &&
           !config.outputUnopenable;
}

juce::int32 RunJudge::answeredRevision (const pedal::PedalConfig& config, const Status& status)
{
    return config.revisionAnswer == Answer::wrong ? config.wrongRevision : status.revision;
}

juce::String RunJudge::describe (Outcome outcome)
{
    switch (outcome)
    {
        case Outcome::success:
            return "success";
        case Outcome::failure:
            return "failure";
        case Outcome::noUpdate:
            return "no update";
    }
    return {};
}

//==============================================================================
juce::StringArray RunJudge::problems (const RunRecord& record) const
{
    juce::StringArray found;

    if (!record.ended)
        found.add ("the run did not end within " + juce::String (settings.runLimitMs) + " ms");

    for (size_t i = 0; i < record.attempts.size(); ++i)
        found.addArray (checkAttempt (record, i));

    if (!record.downloaderStopped)
        found.add ("the transfer thread was still running after the run had closed");
    if (record.openPortsAfter != 0)
        found.add (juce::String (record.openPortsAfter) +
                   " MIDI port(s) still open after the updater was gone");
    if (record.downloaderThreadsAfter != 0 || record.pedalThreadsAfter != 0)
        found.add ("threads left running: " + juce::String (record.downloaderThreadsAfter) + " Downloader, " +
                   juce::String (record.pedalThreadsAfter) + " Pedal");
    if (record.threadsAfter > threadsBefore)
        found.add (juce::String (record.threadsAfter - threadsBefore) +
                   " more thread(s) than before the run");

    return found;
}

juce::StringArray RunJudge::checkAttempt (const RunRecord& record, size_t index) const
{
    juce::StringArray found;
    const auto& attempt = record.attempts[index];
    const auto which = record.attempts.size() > 1
                           ? "update " + juce::String (static_cast<int> (index) + 1) + ": "
                           : juce::String();

    const auto byUpdater = reported (record, attempt);
    const auto byPedal = pedalAccount (record, attempt);

    if (byUpdater != byPedal)
        found.add (which + "the updater reported " + describe (byUpdater) + " (exit code " +
                   juce::String (attempt.exitCode) + ", \"" + attempt.resultText + "\") but the pedal says " +
                   describe (byPedal));

    // The exit code and the text on screen tell the same story; an update without a
    // result leaves the code as it was (0 before any, -1 for a pedal never found).
    const auto previousCode = index > 0 ? record.attempts[index - 1].exitCode : (record.interactive ? 0 : -1);
    const auto expectedCode = attempt.resultText == ViewSink::successText   ? 0
                              : attempt.resultText == ViewSink::failureText ? -1
                                                                            : previousCode;
    if (attempt.exitCode != expectedCode)
        found.add (which + "exit code " + juce::String (attempt.exitCode) + " with the result \"" +
                   attempt.resultText + "\"");

    found.addArray (checkFlash (record, attempt));

    if (record.harmless)
        found.addArray (checkHarmless (record, attempt));

    for (auto& problem : found)
        if (!problem.startsWith (which))
            problem = which + problem;

    return found;
}

juce::StringArray RunJudge::checkHarmless (const RunRecord& record, const Attempt& attempt)
{
    juce::StringArray found;
    const auto faults =
        record.faults.isEmpty() ? juce::String ("no fault") : record.faults.joinIntoString (" + ");

    if (!attempt.requested)
        found.add ("no update was started, although " + faults + " cannot stop one");
    else if (reported (record, attempt) != Outcome::success)
        found.add ("the update failed (" + describe (reported (record, attempt)) + ", exit code " +
                   juce::String (attempt.exitCode) + "), although " + faults + " cannot break it");

    // The updated pedal is the first of the setup.
    if (!attempt.pedalsAfter.empty())
    {
        const auto& pedal = attempt.pedalsAfter.front();
        if (pedal.mode != pedal::PedalMode::normal || pedal.revision != imageRevision)
            found.add ("the pedal ended " +
                       juce::String (pedal.mode == pedal::PedalMode::normal ? "in normal operation"
                                                                            : "in its boot loader") +
                       " with revision " + juce::String (pedal.revision) + ", not " +
                       juce::String (imageRevision));
    }

    return found;
}

juce::StringArray RunJudge::checkFlash (const RunRecord& record, const Attempt& attempt) const
{
    juce::StringArray found;
    int pedalsUpdated = 0;

    for (size_t i = 0; i < attempt.pedalsAfter.size(); ++i)
    {
        const auto& before = attempt.pedalsBefore[i];
        const auto& after = attempt.pedalsAfter[i];
        const auto name = "pedal " + juce::String (static_cast<int> (i) + 1);
        const auto packages = after.packages - before.packages;

        if (packages == 0)
        {
            if (after.blockOrder != before.blockOrder)
                found.add (name + " stored blocks without receiving a package");
            continue;
        }

        ++pedalsUpdated;

        // The boot loader stores a fresh image; normal operation counts the packages and keeps its flash.
        const auto expected =
            ExpectedArrival::of (ExpectedArrival::embeddedImage(), record.pedalConfigs[i], before.mode);
        const auto& expectedOrder =
            before.mode == pedal::PedalMode::bootLoader ? expected.blockOrder : before.blockOrder;

        if (packages != expected.packages)
            found.add (name + " received " + juce::String (packages) + " firmware packages, " +
                       juce::String (expected.packages) + " expected");

        if (after.blockOrder != expectedOrder)
            found.add (name + " stored blocks in the order " + blocks (after.blockOrder) + ", expected " +
                       blocks (expectedOrder) + " (duplicates " + blocks (after.duplicates) + ")");
    }

    if (pedalsUpdated > 1)
        found.add ("firmware went to " + juce::String (pedalsUpdated) + " pedals in one update");

    // With two pedals the search hears, nobody can say which one an update would reach.
    int pedalsHeard = 0;
    for (const auto& config : record.pedalConfigs)
        pedalsHeard += heardBySearch (config) ? 1 : 0;

    if (pedalsUpdated > 0 && pedalsHeard > 1)
        found.add ("firmware was sent although " + juce::String (pedalsHeard) +
                   " pedals answering the probe were connected");

    if (pedalsUpdated == 0 && attempt.progressPeak >= imageSentProgress)
        found.add ("the bar showed the image sent (" + juce::String (attempt.progressPeak, 2) +
                   "), but no pedal received a package");

    return found;
}

} // namespace soak
