#pragma once

namespace downloader
{

/**
    The fixed pauses of a transfer. The application uses the defaults; tests pass
    tiny values so that a whole transfer runs in milliseconds.
*/
struct Pacing
{
    /** Pauses made after the first package, so the boot loader can erase its flash. */
    int waitRounds = 40;

    /** Length of each of those pauses; each one advances the progress bar. */
    int waitStepMs = 500;

    /** Pause after each further package in an interactive run. */
    int interactiveGapMs = 50;

    /** Pause after each further package in an unattended run. */
    int autoUpdateGapMs = 40;

    /** Pause before each attempt to find the pedal again after its restart. */
    int reconnectPauseMs = 2500;
};

} // namespace downloader
