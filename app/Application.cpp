#include "app/Application.h"

#include "midi/Midi.h"

#include <iostream>

Application::Application (PortLayerFactory portLayerFactory)
    : createPortLayer (std::move (portLayerFactory))
{
}

Application::~Application()
{
    // The downloader goes first: its destructor stops the transfer thread, which
    // uses the MIDI transport and the controller, so both must still exist.
    downloader.reset();
    midi.reset();
    firmware.reset();
    controller.reset();
    model.reset();
    mainWindow.reset();
}

const juce::String Application::getApplicationName()
{
    // Keys the single-instance guard; the window's title is the main window's own.
    return "Corvane by morvell";
}

const juce::String Application::getApplicationVersion()
{
    return "2.0";
}

bool Application::moreThanOneInstanceAllowed()
{
    return false;
}

bool Application::isAutoUpdate (const juce::String& commandLine)
{
    return commandLine.compareIgnoreCase ("--autoupdate") == 0;
}

bool Application::displayAvailable() const
{
    return juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() != nullptr;
}

void Application::initialise (const juce::String& commandLine)
{
    const bool autoUpdate = isAutoUpdate (commandLine);

    // Without a display the framework would crash while placing the window; say why
    // and end the run as a failure instead, interactive or not.
    if (!displayAvailable())
    {
        std::cerr << "Firmware Updater: no display available (is DISPLAY set?); cannot open the window."
                  << std::endl;
        setApplicationReturnValue (-1);
        quit();
        return;
    }

    midi = std::make_unique<midi::Midi> (createPortLayer());
    firmware = std::make_unique<FirmwareClass>();
    controller = std::make_unique<controller::Controller>();
    mainWindow = std::make_unique<view::MainUI> (controller.get());
    downloader = std::make_unique<downloader::Downloader> (controller.get(), midi.get(), autoUpdate);
    model = std::make_unique<model::Model> (controller.get(), firmware.get());

    controller->setModel (model.get());
    controller->setView (mainWindow.get());
    controller->setDownloader (downloader.get());
    controller->start (!autoUpdate);

    // The whole run happens inside this loop; it ends once the controller's quit
    // request has been processed.
    juce::MessageManager::getInstance()->runDispatchLoop();
}

void Application::shutdown()
{
    juce::Thread::sleep (200);

    if (controller != nullptr)
        setApplicationReturnValue (controller->getExitCode());
}
