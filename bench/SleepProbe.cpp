#include "bench/SleepProbe.h"

#include "bench/Clock.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <sys/prctl.h>

namespace bench
{

SleepProbe::SleepProbe (int pause)
    : pauseMs (pause)
    , thread ([this] { run(); })
{
}

SleepProbe::~SleepProbe()
{
    stop();
}

SleepProbe::Lateness SleepProbe::stop()
{
    stopping = true;
    if (thread.joinable())
        thread.join();

    Lateness lateness;
    if (latenessMs.empty())
        return lateness;

    auto sorted = latenessMs;
    std::sort (sorted.begin(), sorted.end());

    // Nearest rank, as the pedal's gap figures.
    auto rank = [&sorted] (double p)
    {
        const auto n = static_cast<size_t> (std::ceil (p * static_cast<double> (sorted.size())));
        return sorted[std::min (sorted.size() - 1, n == 0 ? 0 : n - 1)];
    };

    lateness.count = static_cast<int> (sorted.size());
    lateness.medianMs = rank (0.5);
    lateness.p99Ms = rank (0.99);
    lateness.maxMs = sorted.back();
    return lateness;
}

void SleepProbe::run()
{
    prctl (PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    while (!stopping)
    {
        const auto start = Clock::nowMs();
        std::this_thread::sleep_for (std::chrono::milliseconds (pauseMs));
        latenessMs.push_back (Clock::nowMs() - start - pauseMs);
    }
}

} // namespace bench
