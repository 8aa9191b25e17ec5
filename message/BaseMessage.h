#pragma once

#include <juce_events/juce_events.h>

namespace message
{

/**
    Base of every message the components exchange.

    A message is created with new, handed to the receiver's post() and deleted by
    the framework after its last delivery. Handlers dispatch on `type` alone and
    then read the payload of the class that the code names.
*/
class BaseMessage : public juce::Message
{
public:
    explicit BaseMessage (int typeCode) noexcept;
    ~BaseMessage() override;

    /** True when the other message has the same type and an equal payload.
        Classes with a payload extend the comparison. */
    virtual bool isEqual (const BaseMessage& other) const;

    const juce::int32 type;

private:
    JUCE_DECLARE_NON_COPYABLE (BaseMessage)
};

} // namespace message
