#include "support/RecordingListener.h"

namespace testing_support
{

std::vector<int> RecordingListener::codes() const
{
    std::vector<int> result;
    for (auto& m : received)
        result.push_back (m->type);
    return result;
}

size_t RecordingListener::count (int code) const
{
    size_t n = 0;
    for (auto& m : received)
        n += (m->type == code) ? 1u : 0u;
    return n;
}

} // namespace testing_support
