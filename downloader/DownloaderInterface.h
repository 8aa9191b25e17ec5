#pragma once

#include "controller/ControllerIF.h"

namespace downloader
{

/** The downloader's listener interface; progress, results and requests go to `controller`. */
class DownloaderInterface : public message::ListenerInterface
{
public:
    explicit DownloaderInterface (controller::ControllerIF* controllerToUse) noexcept
        : controller (controllerToUse)
    {
    }
    ~DownloaderInterface() override = default;

protected:
    controller::ControllerIF* controller; // not owned
};

} // namespace downloader
