#include "app/ExecutableBuild.h"

#include "midi/JucePorts.h"

namespace app
{

// firmware-updater: the operating system's MIDI ports through JUCE and the real pauses.
// It reads no setting: the pedal's boot loader needs these pauses, and nothing may
// shorten them.
ExecutableBuild ExecutableBuild::ofThisExecutable()
{
    ExecutableBuild build;
    build.createPorts = []() -> std::unique_ptr<midi::PortLayer>
    { return std::make_unique<midi::JucePorts>(); };
    return build;
}

} // namespace app
