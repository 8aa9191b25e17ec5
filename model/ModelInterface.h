#pragma once

#include "controller/ControllerIF.h"

namespace model
{

/** The model's listener interface; every reply goes to `controller`. */
class ModelInterface : public message::ListenerInterface
{
public:
    explicit ModelInterface (controller::ControllerIF* controllerToUse) noexcept
        : controller (controllerToUse)
    {
    }
    ~ModelInterface() override = default;

protected:
    controller::ControllerIF* controller; // not owned
};

} // namespace model
