#pragma once

#include "firmware/FirmwareBaseClass.h"

/** The record of the image compiled into the updater, with the product, version and
    revision the build declares for it. */
class FirmwareClass final : public FirmwareBaseClass
{
public:
    FirmwareClass();
    ~FirmwareClass() = default;
};
