#pragma once

#include "app/CommandLine.h"
#include "app/ExecutableBuild.h"
#include "app/StopSignals.h"
#include "controller/Controller.h"
#include "downloader/Downloader.h"
#include "firmware/FirmwareClass.h"
#include "midi/MidiIf.h"
#include "model/Model.h"
#include "view/MainUI.h"

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
    SIGINT, SIGTERM) or never started because another copy was running. A run that
    cannot start (no display, a setting of the executable it cannot use, another copy
    running for a run that needs the ports) says why the same way and exits with -1.

    The command line is read once, as the object is made.
*/
class Application : public juce::JUCEApplication
{
public:
    using PortLayerFactory = app::ExecutableBuild::PortLayerFactory;

    /** Runs with the ports and pauses this executable was built with
        (app::ExecutableBuild::ofThisExecutable(), in the file the executable links). */
    Application();
    /** Runs with the given ports and pauses; tests make their own. */
    explicit Application (app::ExecutableBuild build);
    ~Application() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    /** False, except for a run that only answers --help or --version. */
    bool moreThanOneInstanceAllowed() override;
    /** Runs what the command line, read as the object was made, asks for: the
        framework's `parameters` are the same. */
    void initialise (const juce::String& parameters) override;
    void shutdown() override;

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

    /** Ends a run that cannot start: `line` on standard error, and -1. */
    void refuseToStart (const juce::String& line);

    /** SIGINT or SIGTERM arrived: the run ends the way closing the window ends it. */
    void stopRequested (int signalNumber);

    /** Sets the return value and, for an unattended run that did not update the
        pedal, writes the line that says why. */
    void reportEnd();

    const app::ExecutableBuild build;
    const app::CommandLine options; // read once, as the object is made

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
