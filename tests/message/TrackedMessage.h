#pragma once

#include "message/BaseMessage.h"

namespace testing_support
{

/**
    A message that tells the test when it is deleted. The flag it sets lives
    outside the message, so it can still be read once the framework has deleted
    the object.
*/
class TrackedMessage : public message::BaseMessage
{
public:
    TrackedMessage (int typeCode, int sequenceNumber, bool& destroyedFlag);
    ~TrackedMessage() override;

    const int sequence;

private:
    bool& destroyed;
};

} // namespace testing_support
