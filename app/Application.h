#pragma once

#include "app/StopSignals.h"
#include "controller/Controller.h"
#include "downloader/Downloader.h"
#include "downloader/Pacing.h"
#include "firmware/FirmwareClass.h"
#include "midi/MidiIf.h"
#include "midi/PortLayer.h"
#include "midi/Timing.h"
#include "model/Model.h"
#include "view/MainUI.h"

#include <functional>
#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

/**
    The process's application object: reads the command line, creates and wires the
    six components, runs the message loop inside initialise() and hands the
    controller's exit code to the operating system.

    "--help" and "--version" are answered on standard output without a window or a
    MIDI port, even while another copy runs. An unattended run that does not end
    with the pedal reporting the image's revision exits with -1 and says why in one
    line on standard error, whether it failed, found no pedal, was stopped (window,
    SIGINT, SIGTERM) or never started because another copy was running.
*/
class Application : public juce::JUCEApplication
{
public:
    using PortLayerFactory = std::function<std::unique_ptr<midi::PortLayer>()>;

    /** Uses the port layer that this executable was linked with (app::createPortLayer). */
    Application();
    /** For tests: the MIDI transport finds its ports through the given factory, and the
        transfer and the transport keep the given pauses instead of the real ones. */
    explicit Application (PortLayerFactory portLayerFactory, downloader::Pacing pacing = {},
                          midi::Timing timing = {});
    ~Application() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    /** False, except for a run that only answers --help or --version. */
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

    /** Answers --help or --version; false when the command line asks for neither. */
    bool answerQuestion();

    /** Answers --list: what the search sees, and the exit code that sums it up. */
    void listPorts();

    /** SIGINT or SIGTERM arrived: the run ends the way closing the window ends it. */
    void stopRequested (int signalNumber);

    /** Sets the return value and, for an unattended run that did not update the
        pedal, writes the line that says why. */
    void reportEnd();

    PortLayerFactory createPortLayer;
    const downloader::Pacing pacing;
    const midi::Timing timing;

    bool initialised = false;
    bool autoUpdate = false;
    int stopSignal = 0;
    std::unique_ptr<app::StopSignals> stopSignals;

    std::unique_ptr<view::MainUI> mainWindow;
    std::unique_ptr<downloader::Downloader> downloader;
    std::unique_ptr<model::Model> model;
    std::unique_ptr<controller::Controller> controller;
    std::unique_ptr<FirmwareClass> firmware;
    std::unique_ptr<midi::MidiIf> midi;

    JUCE_DECLARE_NON_COPYABLE (Application)
};
