#include "TrackedMessage.h"

namespace testing_support
{

TrackedMessage::TrackedMessage (int typeCode, int sequenceNumber, bool& destroyedFlag)
    : BaseMessage (typeCode)
    , sequence (sequenceNumber)
    , destroyed (destroyedFlag)
{
    destroyed = false;
}

TrackedMessage::~TrackedMessage()
{
    destroyed = true;
}

} // namespace testing_support
