#pragma once

#include "midi/PortLayer.h"

#include <memory>

namespace app
{

/** The ports this executable talks to: the operating system's MIDI ports in the
    shipped updater, an in-process simulated pedal in the demo build. */
std::unique_ptr<midi::PortLayer> createPortLayer();

} // namespace app
