#pragma once

#include "support/RecordingListener.h"

#include <string>
#include <vector>

namespace testing_support
{

/**
    A recording stand-in that also writes "name:code" into a log shared with other
    recorders, so a test can check the order of posts across components.
*/
class LoggingRecorder : public RecordingListener
{
public:
    LoggingRecorder (std::string name, std::vector<std::string>& sharedLog);

    void processMessage (message::BaseMessage& m) override;

private:
    const std::string name;
    std::vector<std::string>& log;
};

} // namespace testing_support
