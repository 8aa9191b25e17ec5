#pragma once

#include "firmware/FirmwareBaseClass.h"

/** The record of the image compiled into the updater: Verrano2, 1.2.00, R1222. */
class FirmwareClass final : public FirmwareBaseClass
{
public:
    FirmwareClass();
    ~FirmwareClass() = default;
};
