#include "message/BaseMessage.h"

namespace message
{

BaseMessage::BaseMessage (int typeCode) noexcept
    : type (typeCode)
{
}

BaseMessage::~BaseMessage() = default;

bool BaseMessage::isEqual (const BaseMessage& other) const
{
    return type == other.type;
}

} // namespace message
