#include "app/Application.h"
#include "app/BuildPauses.h"
#include "app/PortLayerFactory.h"

// The executable's own ports and pauses: each executable links those it ships with.
Application::Application()
    : Application (app::createPortLayer, app::pacingOfThisBuild(), app::timingOfThisBuild())
{
}

// The framework's standard entry: it creates the application object and runs it
// (single-instance guard, initialise, shutdown, exit code).
START_JUCE_APPLICATION (Application)
