#include "firmware/FirmwareBaseClass.h"

FirmwareBaseClass::FirmwareBaseClass (const juce::String& name, const juce::String& versionText,
                                      juce::int32 revision)
    : productName (name)
    , version (versionText)
    , svnNumber (revision)
{
}

const juce::uint8* FirmwareBaseClass::getData() const
{
    return data;
}

juce::uint32 FirmwareBaseClass::getSize() const
{
    return static_cast<juce::uint32> (size);
}

juce::String FirmwareBaseClass::getProductName() const
{
    return productName;
}

void FirmwareBaseClass::setProductName (const juce::String& newName)
{
    productName = newName;
}

juce::String FirmwareBaseClass::getVersion() const
{
    return version;
}

juce::int32 FirmwareBaseClass::getSVNNumber() const
{
    return svnNumber;
}

void FirmwareBaseClass::setTag (juce::int32 newTag)
{
    tag = newTag;
}

juce::int32 FirmwareBaseClass::getTag() const
{
    return tag;
}
