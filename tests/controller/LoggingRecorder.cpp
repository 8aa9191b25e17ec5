#include "LoggingRecorder.h"

#include <utility>

namespace testing_support
{

LoggingRecorder::LoggingRecorder (std::string recorderName, std::vector<std::string>& sharedLog)
    : name (std::move (recorderName))
    , log (sharedLog)
{
}

void LoggingRecorder::processMessage (message::BaseMessage& m)
{
    RecordingListener::processMessage (m);
    log.push_back (name + ":" + std::to_string (m.type));
}

} // namespace testing_support
