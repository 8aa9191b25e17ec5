#include "tools/pedal/ArrivalTimes.h"

#include "tools/pedal/PedalProtocol.h"

#include <algorithm>
#include <cmath>

namespace pedal
{

ArrivalTimes::Kind ArrivalTimes::kindOf (const juce::MidiMessage& message)
{
    if (!isForPedal (message) || message.getSysExDataSize() <= deviceHeaderSize)
        return Kind::other;

    const auto* data = message.getSysExData();
    const auto size = message.getSysExDataSize();
    const auto command = data[deviceHeaderSize];
    const bool markedWith01 = size == deviceHeaderSize + 2 && data[deviceHeaderSize + 1] == 0x01;

    if (command == beginUpdateCommand && markedWith01)
        return Kind::beginUpdate;
    if (isBlockPackage (message))
        return Kind::block;
    if (command == blockCommand && markedWith01)
        return Kind::endOfImage;
    if (command == probeCommand && size == deviceHeaderSize + 1)
        return Kind::probe;
    return Kind::other;
}

void ArrivalTimes::note (Kind kind, double timeMs)
{
    if (lastProbeMs >= 0.0)
    {
        const auto sincePrevious = timeMs - lastProbeMs;
        if (shortestProbeToNextMs < 0.0 || sincePrevious < shortestProbeToNextMs)
            shortestProbeToNextMs = sincePrevious;
        lastProbeMs = -1.0;
    }

    switch (kind)
    {
        case Kind::beginUpdate:
            blockTimesMs.clear();
            beginMs = timeMs;
            endMs = -1.0;
            firstProbeAfterEndMs = -1.0;
            break;
        case Kind::block:
            blockTimesMs.push_back (timeMs);
            break;
        case Kind::endOfImage:
            endMs = timeMs;
            firstProbeAfterEndMs = -1.0;
            break;
        case Kind::probe:
            lastProbeMs = timeMs;
            if (endMs >= 0.0 && firstProbeAfterEndMs < 0.0)
                firstProbeAfterEndMs = timeMs;
            break;
        case Kind::other:
            break;
    }
}

ArrivalTimes::Gaps ArrivalTimes::gaps() const
{
    Gaps result;
    if (blockTimesMs.size() < 2)
        return result;

    std::vector<double> g;
    for (size_t i = 1; i < blockTimesMs.size(); ++i)
        g.push_back (blockTimesMs[i] - blockTimesMs[i - 1]);

    std::sort (g.begin(), g.end());

    // Nearest-rank percentiles.
    auto rank = [&g] (double p)
    {
        const auto n = static_cast<size_t> (std::ceil (p * static_cast<double> (g.size())));
        return g[std::min (g.size() - 1, n == 0 ? 0 : n - 1)];
    };

    result.count = static_cast<int> (g.size());
    result.minMs = g.front();
    result.medianMs = rank (0.5);
    result.p99Ms = rank (0.99);
    result.maxMs = g.back();
    return result;
}

ArrivalTimes::Waits ArrivalTimes::waits() const
{
    Waits result;
    if (beginMs >= 0.0 && !blockTimesMs.empty())
        result.eraseToBlockMs = blockTimesMs.front() - beginMs;
    if (firstProbeAfterEndMs >= 0.0)
        result.endToProbeMs = firstProbeAfterEndMs - endMs;
    result.probeToNextMs = shortestProbeToNextMs;
    return result;
}

} // namespace pedal
