#pragma once

#include "message/BaseMessage.h"
#include "message/MessageCodes.h"

namespace message
{

//==============================================================================
// Messages without payload: the type code is all they carry.

class HelpRequest final : public BaseMessage
{
public:
    HelpRequest() noexcept
        : BaseMessage (Code::helpRequest)
    {
    }
};

class CloseRequest final : public BaseMessage
{
public:
    CloseRequest() noexcept
        : BaseMessage (Code::closeRequest)
    {
    }
};

class UpdateRequest final : public BaseMessage
{
public:
    UpdateRequest() noexcept
        : BaseMessage (Code::updateRequest)
    {
    }
};

class ProductInfoRequest final : public BaseMessage
{
public:
    ProductInfoRequest() noexcept
        : BaseMessage (Code::productInfoRequest)
    {
    }
};

class UpdateButtonEnable final : public BaseMessage
{
public:
    UpdateButtonEnable() noexcept
        : BaseMessage (Code::updateButtonEnable)
    {
    }
};

class UpdateButtonDisable final : public BaseMessage
{
public:
    UpdateButtonDisable() noexcept
        : BaseMessage (Code::updateButtonDisable)
    {
    }
};

class NextPackageRequest final : public BaseMessage
{
public:
    NextPackageRequest() noexcept
        : BaseMessage (Code::nextPackageRequest)
    {
    }
};

class ModelIdRequest final : public BaseMessage
{
public:
    ModelIdRequest() noexcept
        : BaseMessage (Code::modelIdRequest)
    {
    }
};

class SVNNumberRequest final : public BaseMessage
{
public:
    SVNNumberRequest() noexcept
        : BaseMessage (Code::svnNumberRequest)
    {
    }
};

//==============================================================================
// Messages carrying one text. Texts compare character for character, letter case included.

class HelpResponse final : public BaseMessage
{
public:
    explicit HelpResponse (const juce::String& helpText);
    bool isEqual (const BaseMessage& other) const override;

    const juce::String helpText;
};

class ProductInfoResponse final : public BaseMessage
{
public:
    explicit ProductInfoResponse (const juce::String& productInfo);
    bool isEqual (const BaseMessage& other) const override;

    const juce::String productInfo;
};

class TextMessage final : public BaseMessage
{
public:
    explicit TextMessage (const juce::String& text);
    bool isEqual (const BaseMessage& other) const override;

    const juce::String text;
};

class DeviceFound final : public BaseMessage
{
public:
    explicit DeviceFound (const juce::String& deviceName);
    bool isEqual (const BaseMessage& other) const override;

    const juce::String deviceName;
};

//==============================================================================
// Messages carrying numbers or bytes.

class DeviceNotFound final : public BaseMessage
{
public:
    /** `pedalsAnswered`: 0 when no pedal answered the search; more than one when
        several did, and none can be updated until only one is connected. */
    explicit DeviceNotFound (juce::int32 pedalsAnswered = 0) noexcept;
    bool isEqual (const BaseMessage& other) const override;

    const juce::int32 pedalsAnswered;
};

class NextPackageResponse final : public BaseMessage
{
public:
    /** `package` is one complete SysEx message, F0 to F7; empty when index >= total. */
    NextPackageResponse (juce::uint32 index, juce::uint32 total, const juce::Array<juce::uint8>& package);
    bool isEqual (const BaseMessage& other) const override;

    const juce::uint32 index;
    const juce::uint32 total;
    const juce::Array<juce::uint8> package;
};

class ProgressUpdate final : public BaseMessage
{
public:
    /** `progress` is the fraction of the update done, 0.0 to 1.0. */
    explicit ProgressUpdate (double progress) noexcept;
    bool isEqual (const BaseMessage& other) const override;

    const double progress;
};

class ModelIdResponse final : public BaseMessage
{
public:
    explicit ModelIdResponse (juce::uint8 modelId) noexcept;
    bool isEqual (const BaseMessage& other) const override;

    const juce::uint8 modelId;
};

class SVNUpdate final : public BaseMessage
{
public:
    /** `source` is revisionFromPedal (2) or revisionFromImage (3). */
    SVNUpdate (juce::int32 revision, juce::int32 source) noexcept;
    bool isEqual (const BaseMessage& other) const override;

    const juce::int32 revision;
    const juce::int32 source;
};

class UpdateStatus final : public BaseMessage
{
public:
    /** updateSucceeded (0) when the update succeeded; any other value means it failed,
        and the UpdateResult values say how. */
    explicit UpdateStatus (juce::int32 status) noexcept;
    bool isEqual (const BaseMessage& other) const override;

    const juce::int32 status;
};

} // namespace message
