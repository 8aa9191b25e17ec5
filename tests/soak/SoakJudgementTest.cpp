// The soak's own judgement: the block order a pedal should show after faults in
// transit, the verdict held against a run's report, and the memory trend.
#include "ExpectedArrival.h"
#include "MemoryTrend.h"
#include "RunJudge.h"
#include "ViewSink.h"

#include <gtest/gtest.h>

#include <numeric>

using soak::ExpectedArrival;
using soak::MemoryTrend;
using soak::RunJudge;
using soak::RunRecord;

namespace
{
pedal::PedalConfig configFor (const juce::String& settings)
{
    pedal::PedalConfig config;
    const auto result = config.apply (settings);
    EXPECT_TRUE (result.wasOk()) << result.getErrorMessage();
    return config;
}

std::vector<int> blocksFromTo (int first, int last)
{
    std::vector<int> numbers (static_cast<size_t> (last - first + 1));
    std::iota (numbers.begin(), numbers.end(), first);
    return numbers;
}

ExpectedArrival arrivalFor (const juce::String& settings,
                            pedal::PedalMode mode = pedal::PedalMode::bootLoader)
{
    return ExpectedArrival::of (ExpectedArrival::embeddedImage(), configFor (settings), mode);
}

/** An unattended run whose pedal took the whole image, passed its check and answered 1222. */
RunRecord goodUnattendedRun()
{
    RunRecord record;
    record.ended = true;
    record.pedalConfigs.push_back (configFor ("restart-ms=30"));

    soak::Attempt attempt;
    attempt.requested = true;
    attempt.resultText = soak::ViewSink::successText;
    attempt.progressPeak = 1.0;
    attempt.pedalsBefore.emplace_back();

    pedal::SimulatedPedal::Status status;
    status.mode = pedal::PedalMode::normal;
    status.revision = RunJudge::imageRevision;
    status.check = pedal::SimulatedPedal::CheckOutcome::passed;
    status.packages = 492;
    status.queries = 1;
    status.blockOrder = blocksFromTo (0, 489);
    attempt.pedalsAfter.push_back (status);

    record.attempts.push_back (attempt);
    return record;
}

/** An interactive run that ended without an update being asked for, its one pedal set up
    by `settings`, seen before and after. */
RunRecord interactiveRunWithoutUpdate (const juce::String& settings)
{
    RunRecord record;
    record.interactive = true;
    record.ended = true;
    record.pedalConfigs.push_back (configFor (settings));
    record.attempts.emplace_back();
    record.attempts.front().pedalsBefore.emplace_back();
    record.attempts.front().pedalsAfter.emplace_back();
    return record;
}

/** The only update of a run. */
soak::Attempt& only (RunRecord& record)
{
    return record.attempts.front();
}

const RunJudge judge (soak::SoakSettings::fast(), 1);
} // namespace

//==============================================================================
TEST (ExpectedArrival, TransitFaultsShapeTheBlockOrderAndTheCount)
{
    const auto clean = arrivalFor ("");
    EXPECT_EQ (clean.blockOrder, blocksFromTo (0, 489));
    EXPECT_EQ (clean.packages, 492);

    const auto lost = arrivalFor ("lose-block=17");
    auto withoutSeventeen = blocksFromTo (0, 489);
    withoutSeventeen.erase (withoutSeventeen.begin() + 17);
    EXPECT_EQ (lost.blockOrder, withoutSeventeen);
    EXPECT_EQ (lost.packages, 491);

    const auto duplicated = arrivalFor ("duplicate-block=5");
    EXPECT_EQ (std::count (duplicated.blockOrder.begin(), duplicated.blockOrder.end(), 5), 2);
    EXPECT_EQ (duplicated.packages, 493);

    const auto reordered = arrivalFor ("reorder-block=3");
    EXPECT_EQ (std::vector<int> (reordered.blockOrder.begin(), reordered.blockOrder.begin() + 5),
               (std::vector<int>{0, 1, 2, 4, 3}));
}

TEST (ExpectedArrival, ALastBlockHeldBackArrivesOnlyAfterTheRestart)
{
    // The end of the image overtakes block 489, and the boot loader restarts on it.
    const auto lastHeldBack = arrivalFor ("reorder-block=489");
    EXPECT_EQ (lastHeldBack.blockOrder, blocksFromTo (0, 488));
    EXPECT_EQ (lastHeldBack.packages, 491);

    // Normal operation stores nothing, counts everything and never restarts.
    const auto normal = arrivalFor ("reorder-block=489", pedal::PedalMode::normal);
    EXPECT_TRUE (normal.blockOrder.empty());
    EXPECT_EQ (normal.packages, 492);
}

//==============================================================================
TEST (RunJudge, SuccessNeedsAPassedCheckAndTheImagesRevisionInTime)
{
    auto good = goodUnattendedRun();
    EXPECT_TRUE (judge.problems (good).isEmpty());
    EXPECT_EQ (judge.pedalAccount (good, only (good)), RunJudge::Outcome::success);

    auto failedCheck = goodUnattendedRun();
    only (failedCheck).pedalsAfter[0].check = pedal::SimulatedPedal::CheckOutcome::failed;
    EXPECT_EQ (judge.pedalAccount (failedCheck, only (failedCheck)), RunJudge::Outcome::failure);
    EXPECT_EQ (judge.problems (failedCheck).size(), 1);

    auto wrongAnswer = goodUnattendedRun();
    wrongAnswer.pedalConfigs[0] = configFor ("revision=wrong:1187");
    EXPECT_EQ (judge.pedalAccount (wrongAnswer, only (wrongAnswer)), RunJudge::Outcome::failure);

    auto lateAnswer = goodUnattendedRun();
    lateAnswer.pedalConfigs[0] = configFor ("revision=late:600");
    EXPECT_EQ (judge.pedalAccount (lateAnswer, only (lateAnswer)), RunJudge::Outcome::failure);

    auto twoAnswers = goodUnattendedRun();
    twoAnswers.pedalConfigs[0] = configFor ("revision=twice");
    EXPECT_EQ (judge.pedalAccount (twoAnswers, only (twoAnswers)), RunJudge::Outcome::success);

    // Reported as a failure while the pedal says success is a mismatch too.
    auto falseFailure = goodUnattendedRun();
    only (falseFailure).resultText = soak::ViewSink::failureText;
    only (falseFailure).exitCode = -1;
    EXPECT_EQ (judge.problems (falseFailure).size(), 1);
}

TEST (RunJudge, FaultsThatCannotBreakAnUpdateRequireASuccess)
{
    // An updater that gives up at once: nothing sent, nothing asked. The pedal's
    // account agrees with the failure, so only the dealt faults can tell.
    auto gaveUp = goodUnattendedRun();
    only (gaveUp).resultText = soak::ViewSink::failureText;
    only (gaveUp).exitCode = -1;
    only (gaveUp).progressPeak = 0.0;
    only (gaveUp).pedalsAfter[0] = {};
    only (gaveUp).pedalsAfter[0].revision = pedal::PedalConfig::factoryRevision;
    EXPECT_TRUE (judge.problems (gaveUp).isEmpty());

    gaveUp.harmless = true;
    gaveUp.faults.add ("foreign traffic");
    const auto problems = judge.problems (gaveUp).joinIntoString ("\n");
    EXPECT_TRUE (problems.contains ("foreign traffic cannot break it")) << problems;
    EXPECT_TRUE (problems.contains ("in its boot loader with revision 1187")) << problems;

    // A user who never saw the button come on for a pedal in its boot loader.
    auto noButton = interactiveRunWithoutUpdate ("extra-devices=2");
    noButton.harmless = true;
    EXPECT_TRUE (judge.problems (noButton).joinIntoString ("\n").contains ("no update was started"));

    auto good = goodUnattendedRun();
    good.harmless = true;
    EXPECT_TRUE (judge.problems (good).isEmpty());
}

TEST (RunJudge, TheVerdictSpeaksForThePedalThatAnsweredDuringTheUpdate)
{
    // The updated pedal passed, but a second pedal in normal operation answered the query.
    auto record = goodUnattendedRun();
    only (record).pedalsAfter[0].queries = 0;
    record.pedalConfigs.push_back (configFor ("mode=normal"));
    only (record).pedalsBefore.emplace_back();
    pedal::SimulatedPedal::Status second;
    second.mode = pedal::PedalMode::normal;
    second.revision = 1187;
    second.queries = 1;
    only (record).pedalsAfter.push_back (second);
    EXPECT_EQ (judge.pedalAccount (record, only (record)), RunJudge::Outcome::failure);

    // Firmware sent with a second pedal the search hears is a problem; with one it cannot
    // hear (no acknowledgement, its output unopenable) the updater could not know.
    EXPECT_TRUE (judge.problems (record).joinIntoString ("\n").contains ("although 2 pedals"));
    for (const auto* unheard : {"mode=normal,ack=none", "mode=normal,unopenable=output"})
    {
        record.pedalConfigs[1] = configFor (unheard);
        EXPECT_FALSE (judge.problems (record).joinIntoString ("\n").contains ("although")) << unheard;
    }

    // A retry judged by what changed during it: the query of the first update does not count.
    auto retried = goodUnattendedRun();
    retried.interactive = true;
    auto retry = only (retried);
    retry.pedalsBefore = retry.pedalsAfter;
    retry.resultText = soak::ViewSink::successText;
    retried.attempts.push_back (retry);
    EXPECT_EQ (judge.pedalAccount (retried, retried.attempts[1]), RunJudge::Outcome::failure);
    EXPECT_TRUE (judge.problems (retried).joinIntoString ("\n").contains ("no pedal received a package"));
}

TEST (RunJudge, FlashOrderExitCodeThreadsAndPortsAreChecked)
{
    auto reordered = goodUnattendedRun();
    std::swap (only (reordered).pedalsAfter[0].blockOrder[10],
               only (reordered).pedalsAfter[0].blockOrder[11]);
    EXPECT_TRUE (judge.problems (reordered)[0].contains ("order"));

    auto wrongCode = goodUnattendedRun();
    only (wrongCode).exitCode = -1;
    EXPECT_TRUE (judge.problems (wrongCode).joinIntoString ("\n").contains ("exit code -1"));

    auto leftovers = goodUnattendedRun();
    leftovers.openPortsAfter = 2;
    leftovers.downloaderThreadsAfter = 1;
    leftovers.threadsAfter = 2;
    EXPECT_EQ (judge.problems (leftovers).size(), 3);

    // An interactive user who never saw the button enabled: no update, exit code 0.
    auto untouched = interactiveRunWithoutUpdate ("mode=normal");
    EXPECT_EQ (judge.pedalAccount (untouched, only (untouched)), RunJudge::Outcome::noUpdate);
    EXPECT_TRUE (judge.problems (untouched).isEmpty());
}

//==============================================================================
TEST (MemoryTrend, FindsASteadyLeakButNotWarmUpNoiseOrOneStep)
{
    // 300 kB a run, as if the package queue of every transfer were kept.
    MemoryTrend leaking (10);
    for (int run = 0; run < 50; ++run)
        leaking.add (8000 + run * 300);
    EXPECT_TRUE (leaking.judge ({}).growing);

    // A big warm-up, then noise of +-200 kB around a flat line.
    MemoryTrend noisy (10);
    juce::Random random (3);
    for (int run = 0; run < 50; ++run)
        noisy.add ((run < 10 ? 4000 + run * 400 : 8000) + random.nextInt (400) - 200);
    EXPECT_FALSE (noisy.judge ({}).growing);
    EXPECT_EQ (noisy.peakKb(), *std::max_element (noisy.getSamples().begin(), noisy.getSamples().end()));

    // One step of a megabyte (a new allocator arena) that then stays flat.
    MemoryTrend stepped (10);
    for (int run = 0; run < 50; ++run)
        stepped.add (run < 30 ? 8000 : 9024);
    EXPECT_FALSE (stepped.judge ({}).growing);
}
