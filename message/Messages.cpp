#include "message/Messages.h"

#include <functional>

namespace message
{

namespace
{
/** The other message viewed as the same class, or null when its type differs. */
template<typename MessageClass>
const MessageClass* sameKind (const MessageClass& self, const BaseMessage& other)
{
    return self.BaseMessage::isEqual (other) ? dynamic_cast<const MessageClass*> (&other) : nullptr;
}
} // namespace

//==============================================================================
HelpResponse::HelpResponse (const juce::String& text)
    : BaseMessage (Code::helpResponse)
    , helpText (text)
{
}

bool HelpResponse::isEqual (const BaseMessage& other) const
{
    auto* o = sameKind (*this, other);
    return o != nullptr && helpText == o->helpText;
}

ProductInfoResponse::ProductInfoResponse (const juce::String& text)
    : BaseMessage (Code::productInfoResponse)
    , productInfo (text)
{
}

bool ProductInfoResponse::isEqual (const BaseMessage& other) const
{
    auto* o = sameKind (*this, other);
    return o != nullptr && productInfo == o->productInfo;
}

TextMessage::TextMessage (const juce::String& statusText)
    : BaseMessage (Code::textMessage)
    , text (statusText)
{
}

bool TextMessage::isEqual (const BaseMessage& other) const
{
    auto* o = sameKind (*this, other);
    return o != nullptr && text == o->text;
}

DeviceNotFound::DeviceNotFound (juce::int32 answered) noexcept
    : BaseMessage (Code::deviceNotFound)
    , pedalsAnswered (answered)
{
}

bool DeviceNotFound::isEqual (const BaseMessage& other) const
{
    auto* o = sameKind (*this, other);
    return o != nullptr && pedalsAnswered == o->pedalsAnswered;
}

DeviceFound::DeviceFound (const juce::String& name)
    : BaseMessage (Code::deviceFound)
    , deviceName (name)
{
}

bool DeviceFound::isEqual (const BaseMessage& other) const
{
    auto* o = sameKind (*this, other);
    return o != nullptr && deviceName == o->deviceName;
}

//==============================================================================
NextPackageResponse::NextPackageResponse (juce::uint32 packageIndex, juce::uint32 packageTotal,
                                          const juce::Array<juce::uint8>& bytes)
    : BaseMessage (Code::nextPackageResponse)
    , index (packageIndex)
    , total (packageTotal)
    , package (bytes)
{
}

bool NextPackageResponse::isEqual (const BaseMessage& other) const
{
    auto* o = sameKind (*this, other);
    return o != nullptr && index == o->index && total == o->total && package == o->package;
}

ProgressUpdate::ProgressUpdate (double value) noexcept
    : BaseMessage (Code::progressUpdate)
    , progress (value)
{
}

bool ProgressUpdate::isEqual (const BaseMessage& other) const
{
    // Exact double comparison: a NaN equals nothing, itself included.
    auto* o = sameKind (*this, other);
    return o != nullptr && std::equal_to<double>() (progress, o->progress);
}

ModelIdResponse::ModelIdResponse (juce::uint8 value) noexcept
    : BaseMessage (Code::modelIdResponse)
    , modelId (value)
{
}

bool ModelIdResponse::isEqual (const BaseMessage& other) const
{
    auto* o = sameKind (*this, other);
    return o != nullptr && modelId == o->modelId;
}

SVNUpdate::SVNUpdate (juce::int32 value, juce::int32 from) noexcept
    : BaseMessage (Code::svnUpdate)
    , revision (value)
    , source (from)
{
}

bool SVNUpdate::isEqual (const BaseMessage& other) const
{
    auto* o = sameKind (*this, other);
    return o != nullptr && revision == o->revision && source == o->source;
}

UpdateStatus::UpdateStatus (juce::int32 value) noexcept
    : BaseMessage (Code::updateStatus)
    , status (value)
{
}

bool UpdateStatus::isEqual (const BaseMessage& other) const
{
    auto* o = sameKind (*this, other);
    return o != nullptr && status == o->status;
}

} // namespace message
