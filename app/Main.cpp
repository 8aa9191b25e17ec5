#include "app/Application.h"
#include "app/PortLayerFactory.h"

// The executable's own ports: each executable links the port layer it ships with.
Application::Application()
    : Application (app::createPortLayer)
{
}

// The framework's standard entry: it creates the application object and runs it
// (single-instance guard, initialise, shutdown, exit code).
START_JUCE_APPLICATION (Application)
