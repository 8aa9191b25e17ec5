#pragma once

#include "controller/ControllerIF.h"

namespace controller
{

/** What the model, the view and the downloader have in common: they are message
    listeners, and the controller is the one component they post to. */
class ComponentInterface : public message::ListenerInterface
{
public:
    explicit ComponentInterface (ControllerIF* controllerToUse) noexcept
        : controller (controllerToUse)
    {
    }
    ~ComponentInterface() override = default;

protected:
    ControllerIF* controller; // not owned
};

} // namespace controller
