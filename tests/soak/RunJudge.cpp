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
} // namespace

RunJudge::RunJudge (const SoakSettings& s, int threads)
    : settings (s)
    , threadsBefore (threads)
{
}

//==============================================================================
RunJudge::Outcome RunJudge::reported (const RunRecord& record)
{
    if (record.resultText.isEmpty() && record.exitCode == 0)
        return Outcome::noUpdate;

    return record.exitCode == 0 && record.resultText == ViewSink::successText ? Outcome::success
                                                                              : Outcome::failure;
}

RunJudge::Outcome RunJudge::pedalAccount (const RunRecord& record) const
{
    bool anyPackages = false;
    for (auto& status : record.pedals)
        anyPackages = anyPackages || status.packages > 0;

    // An interactive user who never saw an enabled button updates nothing.
    if (record.interactive && !anyPackages)
        return Outcome::noUpdate;

    // The verdict speaks for the pedal that answered the revision query: the one the
    // updater found after the restart.
    for (size_t i = 0; i < record.pedals.size(); ++i)
    {
        const auto& status = record.pedals[i];
        const auto& config = record.pedalConfigs[i];

        if (status.queries == 0)
            continue;

        const bool good = status.check == pedal::SimulatedPedal::CheckOutcome::passed &&
                          answerArrives (config) && answeredRevision (config, status) == imageRevision;
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

    const auto byUpdater = reported (record);
    const auto byPedal = pedalAccount (record);

    if (byUpdater != byPedal)
        found.add ("the updater reported " + describe (byUpdater) + " (exit code " +
                   juce::String (record.exitCode) + ", \"" + record.resultText + "\") but the pedal says " +
                   describe (byPedal));

    // The exit code and the text on screen tell the same story; without a result an
    // unattended run failed (no pedal) and an interactive one updated nothing.
    const auto expectedExitCode = record.resultText == ViewSink::successText   ? 0
                                  : record.resultText == ViewSink::failureText ? -1
                                  : record.interactive                         ? 0
                                                                               : -1;
    if (record.exitCode != expectedExitCode)
        found.add ("exit code " + juce::String (record.exitCode) + " with the result \"" + record.resultText +
                   "\"");

    found.addArray (checkFlash (record));

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

juce::StringArray RunJudge::checkFlash (const RunRecord& record) const
{
    juce::StringArray found;
    int pedalsUpdated = 0;

    for (size_t i = 0; i < record.pedals.size(); ++i)
    {
        const auto& status = record.pedals[i];
        const auto& config = record.pedalConfigs[i];
        const auto name = "pedal " + juce::String (static_cast<int> (i) + 1);

        if (status.packages == 0)
        {
            if (!status.blockOrder.empty())
                found.add (name + " stored blocks without receiving a package");
            continue;
        }

        ++pedalsUpdated;
        const auto expected = ExpectedArrival::of (ExpectedArrival::embeddedImage(), config, config.mode);

        if (status.packages != expected.packages)
            found.add (name + " received " + juce::String (status.packages) + " firmware packages, " +
                       juce::String (expected.packages) + " expected");

        if (status.blockOrder != expected.blockOrder)
            found.add (name + " stored blocks in the order " + blocks (status.blockOrder) + ", expected " +
                       blocks (expected.blockOrder) + " (duplicates " + blocks (status.duplicates) + ")");
    }

    if (pedalsUpdated > 1)
        found.add ("firmware went to " + juce::String (pedalsUpdated) + " pedals in one run");

    return found;
}

} // namespace soak
