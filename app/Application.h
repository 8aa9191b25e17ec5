#pragma once

#include "controller/Controller.h"
#include "downloader/Downloader.h"
#include "firmware/FirmwareClass.h"
#include "midi/MidiIf.h"
#include "midi/PortLayer.h"
#include "model/Model.h"
#include "view/MainUI.h"

#include <functional>
#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

/**
    The process's application object: reads the command line, creates and wires the
    six components, runs the message loop inside initialise() and hands the
    controller's exit code to the operating system.
*/
class Application : public juce::JUCEApplication
{
public:
    using PortLayerFactory = std::function<std::unique_ptr<midi::PortLayer>()>;

    /** Uses the port layer that this executable was linked with (app::createPortLayer). */
    Application();
    /** For tests: the MIDI transport finds its ports through the given factory. */
    explicit Application (PortLayerFactory portLayerFactory);
    ~Application() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise (const juce::String& commandLine) override;
    void shutdown() override;

    /** True when the parameter string asks for an unattended run. */
    static bool isAutoUpdate (const juce::String& commandLine);

    //==============================================================================
    /** For tests of the wired application. */
    controller::Controller* getController() const noexcept { return controller.get(); }
    view::MainUI* getMainWindow() const noexcept { return mainWindow.get(); }

private:
    bool displayAvailable() const;

    PortLayerFactory createPortLayer;

    std::unique_ptr<view::MainUI> mainWindow;
    std::unique_ptr<downloader::Downloader> downloader;
    std::unique_ptr<model::Model> model;
    std::unique_ptr<controller::Controller> controller;
    std::unique_ptr<FirmwareClass> firmware;
    std::unique_ptr<midi::MidiIf> midi;

    JUCE_DECLARE_NON_COPYABLE (Application)
};
