#include "app/Application.h"

#include "app/Console.h"
#include "app/DisplayCheck.h"
#include "app/OutcomeReport.h"
#include "app/PortListing.h"
#include "midi/Midi.h"

Application::Application (app::ExecutableBuild buildToUse)
    : build (std::move (buildToUse))
    , options (app::CommandLine::ofThisProcess())
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

    // Until here a signal cannot cut the orderly end short.
    stopSignals.reset();
}

const juce::String Application::getApplicationName()
{
    // Keys the single-instance guard; the window's title is the main window's own.
    return "Corvane by morvell";
}

const juce::String Application::getApplicationVersion()
{
    // The project's version, from the build (app/CMakeLists.txt).
    return UPDATER_VERSION;
}

bool Application::moreThanOneInstanceAllowed()
{
    // Answering --help or --version opens nothing, so it may run beside an update.
    return options.onlyAsksAQuestion();
}

bool Application::displayAvailable() const
{
    return app::displayAvailable();
}

void Application::initialise (const juce::String&)
{
    initialised = true;

    if (answerQuestion())
    {
        quit();
        return;
    }

    // A mistyped setting must not quietly turn into another one.
    if (build.settingsProblem.isNotEmpty())
    {
        refuseToStart (build.settingsProblem);
        return;
    }

    if (options.request == app::CommandLine::Request::list)
    {
        listPorts();
        quit();
        return;
    }

    autoUpdate = options.request == app::CommandLine::Request::unattendedRun;
    const bool verbose = options.verbose;

    // Without a display the framework would crash while placing the window; say why
    // and end the run as a failure instead, interactive or not.
    if (!displayAvailable())
    {
        refuseToStart (app::OutcomeReport::noDisplay());
        return;
    }

    auto transport = std::make_unique<midi::Midi> (build.createPorts(), build.pauses.timing);
    if (verbose)
        transport->setStepTrace (app::Console::step);
    midi = std::move (transport);
    firmware = std::make_unique<FirmwareClass>();
    controller = std::make_unique<controller::Controller>();
    mainWindow = std::make_unique<view::MainUI> (controller.get());
    downloader = std::make_unique<downloader::Downloader> (controller.get(), midi.get(), autoUpdate,
                                                           build.pauses.pacing);
    if (verbose)
        downloader->setStepTrace (app::Console::step);
    model = std::make_unique<model::Model> (controller.get(), firmware.get());

    controller->setModel (model.get());
    controller->setView (mainWindow.get());
    controller->setDownloader (downloader.get());

    stopSignals =
        std::make_unique<app::StopSignals> ([this] (int signalNumber) { stopRequested (signalNumber); });

    controller->start (!autoUpdate);

    // The whole run happens inside this loop; it ends once the controller's quit
    // request has been processed.
    juce::MessageManager::getInstance()->runDispatchLoop();
}

bool Application::answerQuestion()
{
    if (!options.onlyAsksAQuestion())
        return false;

    const FirmwareClass carried;
    const auto name = app::Console::programName();

    if (options.request == app::CommandLine::Request::help)
        app::Console::out (app::CommandLine::helpText (name, carried.getProductName(), carried.getVersion(),
                                                       carried.getSVNNumber(),
                                                       model::Model::bootLoaderSteps()));
    else
        app::Console::out (app::CommandLine::versionText (name, getApplicationVersion(),
                                                          carried.getProductName(), carried.getVersion(),
                                                          carried.getSVNNumber()));

    setApplicationReturnValue (0);
    return true;
}

void Application::listPorts()
{
    // Nothing but the probe and the revision question goes out, and no window opens.
    FirmwareClass carried;
    const model::Model reader (nullptr, &carried);
    midi::Midi transport (build.createPorts(), build.pauses.timing);

    const auto report = transport.survey (reader.readModelByte());
    app::Console::out (app::PortListing::describe (report, build.pauses.timing.probeWaitMs));
    setApplicationReturnValue (app::PortListing::exitCodeFor (report));
}

void Application::refuseToStart (const juce::String& line)
{
    app::Console::error (line);
    setApplicationReturnValue (-1);
    quit();
}

void Application::stopRequested (int signalNumber)
{
    if (stopSignal == 0)
        stopSignal = signalNumber;

    // The same road as the window's close button: the controller stops routing and
    // asks to quit; the transfer thread is stopped and the ports closed on the way out.
    if (controller != nullptr)
        controller->post (new message::CloseRequest());
    else
        quit();
}

void Application::shutdown()
{
    juce::Thread::sleep (200);
    reportEnd();
}

void Application::reportEnd()
{
    // The framework's single-instance guard ends a second start before initialise().
    if (!initialised)
    {
        // A listing would probe the ports the running copy holds.
        const auto request = options.request;
        if (request == app::CommandLine::Request::unattendedRun || request == app::CommandLine::Request::list)
        {
            app::Console::error (app::OutcomeReport::anotherCopyRunning());
            setApplicationReturnValue (-1);
        }
        return;
    }

    if (controller == nullptr)
        return;

    const auto exitCode = controller->getExitCode();
    setApplicationReturnValue (exitCode);

    if (!autoUpdate)
        return;

    const auto cause =
        stopSignal != 0 ? app::StopSignals::nameOf (stopSignal) : juce::String ("the window was closed");
    const auto line = app::OutcomeReport::lineFor (controller->getOutcome(), cause);

    if (line.isNotEmpty())
        app::Console::error (line);

    // The code and the line come from one outcome: a line means failure, and failure a line.
    jassert ((exitCode == 0) == line.isEmpty());
}
