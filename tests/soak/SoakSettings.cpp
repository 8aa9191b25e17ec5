#include "SoakSettings.h"

namespace soak
{

namespace
{
/** Pauses the downloader gives the pedal for its revision reply. */
constexpr int revisionReplyPauses = 20;

/** Attempts to find the restarted pedal before the downloader gives up (0.6 + 8 x 0.05). */
constexpr int reconnectAttempts = 8;
} // namespace

SoakSettings SoakSettings::real()
{
    return {};
}

SoakSettings SoakSettings::fast()
{
    SoakSettings settings;
    settings.pacing.waitRounds = 40;
    settings.pacing.waitStepMs = 1;
    settings.pacing.interactiveGapMs = 1;
    settings.pacing.autoUpdateGapMs = 0;
    settings.pacing.reconnectPauseMs = 20;
    settings.timing.probeWaitMs = 50;
    settings.restartMs = 30;
    settings.runLimitMs = 30000;
    settings.realPacing = false;
    return settings;
}

int SoakSettings::revisionWindowMs() const
{
    return revisionReplyPauses * timing.pollPauseMs;
}

int SoakSettings::reconnectBudgetMs() const
{
    return reconnectAttempts * pacing.reconnectPauseMs;
}

} // namespace soak
