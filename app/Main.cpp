#include "app/Application.h"

// The executable's own ports and pauses: each executable links the build it ships with
// (app/ExecutableBuild.h).
Application::Application()
    : Application (app::ExecutableBuild::ofThisExecutable())
{
}

// The framework's standard entry: it creates the application object and runs it
// (single-instance guard, initialise, shutdown, exit code).
START_JUCE_APPLICATION (Application)
