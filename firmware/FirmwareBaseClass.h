#pragma once

#include <juce_core/juce_core.h>

/**
    Describes a firmware image: where its bytes are, how many there are, and the
    product name, version text and revision that go with it. The record points
    into the image; it never owns the bytes.
*/
class FirmwareBaseClass
{
public:
    FirmwareBaseClass (const juce::String& productName, const juce::String& version, juce::int32 svnNumber);

    virtual const juce::uint8* getData() const;
    /** The low 32 bits of the stored size. */
    virtual juce::uint32 getSize() const;
    virtual juce::String getProductName() const;
    virtual void setProductName (const juce::String& newName);
    virtual juce::String getVersion() const;
    virtual juce::int32 getSVNNumber() const;
    virtual void setTag (juce::int32 newTag);
    virtual juce::int32 getTag() const;

protected:
    // No virtual destructor: the owner deletes the record through its concrete type.
    ~FirmwareBaseClass() = default;

    const juce::uint8* data = nullptr;
    juce::int64 size = 0;

private:
    juce::String productName;
    juce::String version;
    juce::int32 svnNumber;
    juce::int32 tag = 0;
};
