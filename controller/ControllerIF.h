#pragma once

#include "message/ListenerInterface.h"

namespace controller
{

/** The hub every other component posts to. */
class ControllerIF : public message::ListenerInterface
{
public:
    ~ControllerIF() override = default;

    /** 0 after a successful update or when none was attempted; -1 after a failed
        one or, in an unattended run, when no pedal was found. */
    virtual int getExitCode() const = 0;
};

} // namespace controller
