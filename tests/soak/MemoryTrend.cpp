#include "MemoryTrend.h"

#include <algorithm>

namespace soak
{

namespace
{
juce::int64 median (std::vector<juce::int64> values)
{
    std::sort (values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

MemoryTrend::MemoryTrend (int warmUpSamples)
    : warmUp (juce::jmax (0, warmUpSamples))
{
}

void MemoryTrend::add (juce::int64 kilobytes)
{
    samples.push_back (kilobytes);
    peak = juce::jmax (peak, kilobytes);
}

MemoryTrend::Verdict MemoryTrend::judge (Limits limits) const
{
    Verdict verdict;

    if (static_cast<int> (samples.size()) <= warmUp)
        return verdict;

    const std::vector<juce::int64> judged (samples.begin() + warmUp, samples.end());
    const auto n = static_cast<double> (judged.size());
    verdict.samplesJudged = static_cast<int> (judged.size());

    // Least-squares slope of memory over run number.
    double meanX = (n - 1.0) / 2.0, meanY = 0.0;
    for (auto v : judged)
        meanY += static_cast<double> (v) / n;

    double covariance = 0.0, variance = 0.0;
    for (size_t i = 0; i < judged.size(); ++i)
    {
        const auto dx = static_cast<double> (i) - meanX;
        covariance += dx * (static_cast<double> (judged[i]) - meanY);
        variance += dx * dx;
    }
    verdict.slopeKbPerRun = variance > 0.0 ? covariance / variance : 0.0;

    // Too few samples for quarters say nothing about a trend.
    if (judged.size() < 8)
        return verdict;

    const auto quarter = static_cast<std::ptrdiff_t> (judged.size() / 4);
    verdict.growthKb =
        median ({judged.end() - quarter, judged.end()}) - median ({judged.begin(), judged.begin() + quarter});

    verdict.growing = verdict.slopeKbPerRun > limits.slopeKbPerRun && verdict.growthKb > limits.growthKb;
    return verdict;
}

} // namespace soak
