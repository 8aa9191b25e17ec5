#include "firmware/FirmwareClass.h"

#include "firmware/FirmwareImage.h"

FirmwareClass::FirmwareClass()
    : FirmwareBaseClass ("Verrano2", "1.2.00", 1222)
{
    data = firmwareImage;
    size = static_cast<juce::int64> (firmwareImageSize);
}
