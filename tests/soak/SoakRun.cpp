#include "SoakRun.h"

#include "ProcessProbe.h"
#include "ViewSink.h"

#include "controller/Controller.h"
#include "downloader/Downloader.h"
#include "firmware/FirmwareClass.h"
#include "midi/Midi.h"
#include "model/Model.h"
#include "support/MessagePump.h"
#include "tools/pedal/SimulatedSetup.h"

namespace soak
{

namespace
{
/** How long the transfer thread gets to end once the run has closed. */
constexpr int threadEndLimitMs = 5000;

/** The user's pause before looking at a freshly found pedal's button. */
void settle()
{
    testing_support::drainMessages();
}
} // namespace

pedal::PedalConfig SoakRun::secondPedalConfig (const pedal::PedalConfig& config)
{
    pedal::PedalConfig second;
    second.mode = config.secondPedal.value_or (pedal::PedalMode::bootLoader);
    second.name = config.name;
    second.startRevision = config.startRevision;
    second.restartMs = config.restartMs;
    return second;
}

RunRecord SoakRun::play (const pedal::PedalConfig& config, bool interactive, const SoakSettings& settings)
{
    RunRecord record;
    record.interactive = interactive;

    const auto started = juce::Time::getMillisecondCounterHiRes();
    auto setup = std::make_unique<pedal::SimulatedSetup> (config);

    {
        bool quitRequested = false;

        // Built in the application's order.
        auto midi = std::make_unique<midi::Midi> (setup->makePorts(), settings.timing);
        auto firmware = std::make_unique<FirmwareClass>();
        auto controller =
            std::make_unique<controller::Controller> ([&quitRequested] { quitRequested = true; });
        auto view = std::make_unique<ViewSink>();
        auto downloader = std::make_unique<downloader::Downloader> (controller.get(), midi.get(),
                                                                    !interactive, settings.pacing);
        auto model = std::make_unique<model::Model> (controller.get(), firmware.get());

        controller->setModel (model.get());
        controller->setView (view.get());
        controller->setDownloader (downloader.get());
        controller->start (interactive);

        const auto limit = settings.runLimitMs;

        if (interactive)
        {
            // The user waits for the device line, then presses "update" if it is enabled.
            testing_support::pumpUntil ([&view] { return view->isDeviceKnown(); }, limit);
            settle();

            if (view->isUpdateButtonEnabled())
            {
                record.updateRequested = true;
                controller->post (new message::UpdateRequest());
                testing_support::pumpUntil ([&view] { return view->getResultText().isNotEmpty(); }, limit);
            }

            // Closing the window.
            controller->post (new message::CloseRequest());
        }

        record.ended = testing_support::pumpUntil ([&quitRequested] { return quitRequested; }, limit);

        if (!interactive)
            record.updateRequested = view->isDeviceFound();

        record.downloaderStopped = testing_support::pumpUntil (
            [&downloader] { return !downloader->isThreadRunning(); }, threadEndLimitMs);
        testing_support::drainMessages();

        record.exitCode = controller->getExitCode();
        record.resultText = view->getResultText();
        record.deviceFound = view->isDeviceFound();

        // Torn down in the application's order: the downloader first, since its
        // thread uses the transport and the controller.
        downloader.reset();
        midi.reset();
        firmware.reset();
        controller.reset();
        model.reset();
        view.reset();
    }

    // Messages still queued for the components that are gone are dropped here.
    testing_support::drainMessages();
    record.durationMs = juce::Time::getMillisecondCounterHiRes() - started;

    record.pedalConfigs.push_back (config);
    if (config.secondPedal)
        record.pedalConfigs.push_back (secondPedalConfig (config));

    for (int i = 0; i < setup->getNumPedals(); ++i)
        record.pedals.push_back (setup->getPedal (i).getStatus());

    record.openPortsAfter = setup->getBus().getNumOpenPorts();
    setup.reset();

    record.downloaderThreadsAfter = ProcessProbe::countThreadsNamed ("Downloader");
    record.pedalThreadsAfter = ProcessProbe::countThreadsNamed ("Pedal");
    record.threadsAfter = ProcessProbe::threadNames().size();
    return record;
}

} // namespace soak
