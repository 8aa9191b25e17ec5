#include "app/PortLayerFactory.h"

#include "midi/JucePorts.h"

namespace app
{

std::unique_ptr<midi::PortLayer> createPortLayer()
{
    return std::make_unique<midi::JucePorts>();
}

} // namespace app
