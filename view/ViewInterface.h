#pragma once

#include "controller/ComponentInterface.h"

namespace view
{

/** The view's listener interface; button presses and closing go to the controller. */
class ViewInterface : public controller::ComponentInterface
{
public:
    using ComponentInterface::ComponentInterface;
};

} // namespace view
