// The fault soak: update after update against the simulated pedal, each run with
// faults of a real setup drawn from a seeded deck, each run's report held against
// the pedal's own account, and the process watched for threads, ports and memory
// that outlive the runs.
//
//   soak [--runs N] [--seed S] [--real-pacing K]
//
// N runs in all (52), of which the last K (2) keep the shipped updater's timing;
// the others run with every pause shrunk. S replays a soak; without it the seed is
// taken from the clock. Either way it is printed first.
#include "ExpectedArrival.h"
#include "FaultDeck.h"
#include "MemoryTrend.h"
#include "ProcessProbe.h"
#include "RunJudge.h"
#include "SoakRun.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <iostream>
#include <map>

namespace
{
struct Options
{
    int runs = 52;
    int realPacedRuns = 2;
    juce::int64 seed = juce::Time::currentTimeMillis() % 1000000;
};

bool parse (int argc, char* argv[], Options& options)
{
    for (int i = 1; i < argc; ++i)
    {
        const juce::String arg (argv[i]);
        const bool hasValue = i + 1 < argc;
        const auto value = hasValue ? juce::String (argv[i + 1]) : juce::String();

        if (!hasValue || !value.containsOnly ("0123456789") || value.isEmpty())
            return false;

        if (arg == "--runs")
            options.runs = value.getIntValue();
        else if (arg == "--seed")
            options.seed = value.getLargeIntValue();
        else if (arg == "--real-pacing")
            options.realPacedRuns = value.getIntValue();
        else
            return false;
        ++i;
    }
    return options.runs > 0 && options.realPacedRuns <= options.runs;
}

juce::String megabytes (juce::int64 kilobytes)
{
    return juce::String (static_cast<double> (kilobytes) / 1024.0, 1) + " MB";
}

juce::String tally (const std::map<juce::String, int>& counts)
{
    juce::StringArray items;
    for (auto& [name, count] : counts)
        items.add (name + " " + juce::String (count));
    return items.joinIntoString (", ");
}
} // namespace

int main (int argc, char* argv[])
{
    Options options;
    if (!parse (argc, argv, options))
    {
        std::cerr << "usage: soak [--runs N] [--seed S] [--real-pacing K]" << std::endl;
        return 2;
    }

    juce::ScopedJuceInitialiser_GUI juce;
    std::cout << "soak: seed " << options.seed << ", " << options.runs << " runs, the last "
              << options.realPacedRuns << " at the real pacing" << std::endl;

    // Cut once before the first run, so that it counts as warm-up rather than growth.
    soak::ExpectedArrival::embeddedImage();

    // One thread started and stopped before counting: whatever the runtime starts
    // alongside a process's first thread (a sanitizer's helper) belongs to the baseline.
    {
        juce::WaitableEvent ran;
        juce::Thread::launch ([&ran] { ran.signal(); });
        ran.wait (5000);

        const auto end = juce::Time::getMillisecondCounter() + 5000;
        while (soak::ProcessProbe::countThreadsNamed ("anonymous") > 0 &&
               juce::Time::getMillisecondCounter() < end)
            juce::Thread::yield();
    }
    const auto threadsBefore = soak::ProcessProbe::threadNames().size();

    soak::FaultDeck deck (options.seed);
    juce::Random random (options.seed + 1);
    const auto fastRuns = options.runs - options.realPacedRuns;
    soak::MemoryTrend memory (juce::jmax (5, fastRuns / 5));

    int passed = 0, failed = 0, mismatches = 0, otherProblems = 0;
    int harmlessRuns = 0, harmlessSucceeded = 0;
    std::map<juce::String, int> faultsPlayed, outcomes;

    for (int run = 1; run <= options.runs; ++run)
    {
        const bool realPacing = run > fastRuns;
        const auto settings = realPacing ? soak::SoakSettings::real() : soak::SoakSettings::fast();

        // Unattended runs are the long ones at the real pacing; a third of the fast
        // runs play the user, who tries again after a failure every other time.
        const bool interactive = !realPacing && random.nextInt (3) == 0;
        const bool retry = interactive && random.nextBool();
        const auto draw = deck.next (settings);

        pedal::PedalConfig config;
        const auto applied = config.apply ("restart-ms=" + juce::String (settings.restartMs) + ",seed=" +
                                           juce::String (random.nextInt (1000000)) + "," + draw.settings);
        if (applied.failed())
        {
            std::cerr << "soak: bad pedal settings \"" << draw.settings << "\": " << applied.getErrorMessage()
                      << std::endl;
            return 2;
        }

        auto record = soak::SoakRun::play (config, interactive, retry, settings);
        record.faults = draw.names;
        record.settings = draw.settings;
        record.harmless = draw.harmless;

        const soak::RunJudge judge (settings, threadsBefore);
        const auto problems = judge.problems (record);
        const auto rss = soak::ProcessProbe::residentKilobytes();

        if (!realPacing)
            memory.add (rss);

        for (auto& name : draw.names)
            ++faultsPlayed[name];

        juce::StringArray reports;
        bool mismatch = false;

        for (auto& attempt : record.attempts)
        {
            const auto byUpdater = soak::RunJudge::reported (record, attempt);
            const auto byPedal = judge.pedalAccount (record, attempt);
            ++outcomes[soak::RunJudge::describe (byUpdater)];
            mismatch = mismatch || byUpdater != byPedal;
            reports.add ("updater " + soak::RunJudge::describe (byUpdater) + ", pedal " +
                         soak::RunJudge::describe (byPedal));
        }

        if (record.harmless)
        {
            ++harmlessRuns;
            const auto succeeded = std::all_of (
                record.attempts.begin(), record.attempts.end(),
                [&record] (const soak::Attempt& attempt)
                { return soak::RunJudge::reported (record, attempt) == soak::RunJudge::Outcome::success; });
            harmlessSucceeded += succeeded ? 1 : 0;
        }

        if (mismatch)
            ++mismatches;
        else if (!problems.isEmpty())
            ++otherProblems;

        (problems.isEmpty() ? passed : failed)++;

        std::cout << "run " << run << "/" << options.runs << "  " << (realPacing ? "real" : "fast") << "  "
                  << (interactive ? (retry ? "interactive, retrying" : "interactive") : "unattended") << "  "
                  << draw.names.joinIntoString (" + ") << (draw.harmless ? " (harmless)" : "") << " ["
                  << (draw.settings.isEmpty() ? juce::String ("-") : draw.settings)
                  << "]: " << reports.joinIntoString ("; then ") << ", "
                  << juce::String (record.durationMs / 1000.0, 1) << " s, RSS " << megabytes (rss) << "  "
                  << (problems.isEmpty() ? "ok" : "FAILED") << std::endl;

        for (auto& problem : problems)
            std::cout << "    " << problem << std::endl;
    }

    const auto verdict = memory.judge ({});
    std::cout << "memory: " << verdict.samplesJudged << " runs after warm-up, "
              << juce::String (verdict.slopeKbPerRun, 1) << " kB per run, " << juce::String (verdict.growthKb)
              << " kB from first to last quarter: " << (verdict.growing ? "GROWING" : "steady") << std::endl;

    if (verdict.growing)
        ++failed;

    // Every run whose faults cannot break an update must have succeeded: an updater
    // that fails every update agrees with the pedals' account and is caught only here.
    std::cout << "harmless faults: " << harmlessSucceeded << " of " << harmlessRuns
              << " runs succeeded, as all must" << (harmlessSucceeded < harmlessRuns ? ": FAILED" : "")
              << std::endl;

    if (harmlessSucceeded < harmlessRuns && failed == 0)
        ++failed;

    std::cout << "soak: " << options.runs << " runs, seed " << options.seed << ", " << mismatches
              << " mismatches, " << otherProblems << " other problems, faults: " << tally (faultsPlayed)
              << "; outcomes: " << tally (outcomes) << "; peak RSS " << megabytes (memory.peakKb())
              << std::endl;
    std::cout << passed << " passed, " << failed << " failed" << std::endl;

    return failed == 0 ? 0 : 1;
}
