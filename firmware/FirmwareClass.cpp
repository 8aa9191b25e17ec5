#include "firmware/FirmwareClass.h"

#include "firmware/FirmwareImage.h"

// The product, version and revision come from the build, which names the image file
// after them (firmware/CMakeLists.txt): a new image cannot keep the old record.
FirmwareClass::FirmwareClass()
    : FirmwareBaseClass (UPDATER_FIRMWARE_PRODUCT, UPDATER_FIRMWARE_VERSION, UPDATER_FIRMWARE_REVISION)
{
    data = firmwareImage;
    size = static_cast<juce::int64> (firmwareImageSize);
}
