#pragma once

#include "controller/ControllerIF.h"

namespace view
{

/** The view's listener interface; button presses and closing go to `controller`. */
class ViewInterface : public message::ListenerInterface
{
public:
    explicit ViewInterface (controller::ControllerIF* controllerToUse) noexcept
        : controller (controllerToUse)
    {
    }
    ~ViewInterface() override = default;

protected:
    controller::ControllerIF* controller; // not owned
};

} // namespace view
