#pragma once

#include "controller/ComponentInterface.h"

namespace model
{

/** The model's listener interface; every reply goes to the controller. */
class ModelInterface : public controller::ComponentInterface
{
public:
    using ComponentInterface::ComponentInterface;
};

} // namespace model
