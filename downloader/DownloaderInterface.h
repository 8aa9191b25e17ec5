#pragma once

#include "controller/ComponentInterface.h"

namespace downloader
{

/** The downloader's listener interface; progress, results and requests go to the controller. */
class DownloaderInterface : public controller::ComponentInterface
{
public:
    using ComponentInterface::ComponentInterface;
};

} // namespace downloader
