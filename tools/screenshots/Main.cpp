// updater-screenshots <output folder>: pictures of the updater's windows in each
// typical state, for the documentation. Needs a display (Xvfb will do).
#include "ScreenshotApplication.h"

START_JUCE_APPLICATION (screenshots::ScreenshotApplication)
