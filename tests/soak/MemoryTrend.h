#pragma once

#include <juce_core/juce_core.h>

#include <vector>

namespace soak
{

/**
    Resident memory after each run, and whether it keeps growing. The first runs
    are warm-up (caches, allocator arenas, the image cut once); after them a leak
    shows as a steady climb: a positive slope over all later samples together with
    a clear rise from their first quarter to their last. Either alone is noise.

    Threads of a run (the pedals', the transfer's) leave allocator arenas and cached
    stacks resident after they end: steps of a few hundred kB, bounded by the number
    of arenas. The leaks worth finding are larger and never stop: the package queue
    or the messages of one transfer are about 300 kB a run.
*/
class MemoryTrend
{
public:
    struct Limits
    {
        double slopeKbPerRun = 48.0; ///< below this, a climb is allocator noise, not a leak
        juce::int64 growthKb = 1536; ///< rise of the last quarter's median over the first quarter's
    };

    struct Verdict
    {
        bool growing = false;
        double slopeKbPerRun = 0.0;
        juce::int64 growthKb = 0;
        int samplesJudged = 0;
    };

    explicit MemoryTrend (int warmUpSamples);

    void add (juce::int64 kilobytes);

    Verdict judge (Limits limits) const;

    juce::int64 peakKb() const noexcept { return peak; }
    const std::vector<juce::int64>& getSamples() const noexcept { return samples; }

private:
    const int warmUp;
    std::vector<juce::int64> samples;
    juce::int64 peak = 0;
};

} // namespace soak
