#pragma once

#include "downloader/Pacing.h"
#include "midi/Timing.h"

namespace app
{

// The pauses of the transfer and of the search for the pedal, as this executable
// runs them: each executable links its own definitions. The shipped updater always
// keeps the real ones and reads no setting for them (SystemPauses.cpp); the demo
// build takes shorter ones when its environment asks (DemoPauses.cpp), so that whole
// runs of it can be tested in a second instead of half a minute.

downloader::Pacing pacingOfThisBuild();
midi::Timing timingOfThisBuild();

} // namespace app
