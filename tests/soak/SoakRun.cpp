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

std::vector<pedal::SimulatedPedal::Status> pedalsOf (const pedal::SimulatedSetup& setup)
{
    std::vector<pedal::SimulatedPedal::Status> statuses;
    for (int i = 0; i < setup.getNumPedals(); ++i)
        statuses.push_back (setup.getPedal (i).getStatus());
    return statuses;
}

bool anyRestarting (const pedal::SimulatedSetup& setup)
{
    for (auto& status : pedalsOf (setup))
        if (status.presence == pedal::SimulatedPedal::Presence::restarting)
            return true;
    return false;
}
} // namespace

RunRecord SoakRun::play (const pedal::PedalConfig& config, bool interactive, bool retryAfterFailure,
                         const SoakSettings& settings)
{
    RunRecord record;
    record.interactive = interactive;
    record.pedalConfigs.push_back (config);
    if (config.secondPedal)
        record.pedalConfigs.push_back (config.secondPedalConfig());

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

        Attempt attempt;
        attempt.pedalsBefore = pedalsOf (*setup);
        controller->start (interactive);

        const auto limit = settings.runLimitMs;
        auto resultShown = [&view, limit] (int results) {
            return testing_support::pumpUntil ([&view, results] { return view->getNumResults() > results; },
                                               limit);
        };

        if (interactive)
        {
            // The user waits for the device line (and the button state posted after
            // it), then presses "update" if the button is enabled.
            testing_support::pumpUntil ([&view] { return view->isDeviceKnown(); }, limit);
            testing_support::drainMessages();

            if (view->isUpdateButtonEnabled())
            {
                attempt.requested = true;
                controller->post (new message::UpdateRequest());
                resultShown (0);
                testing_support::drainMessages();
            }

            attempt.resultText = view->getResultText();
            attempt.exitCode = controller->getExitCode();
            attempt.progressPeak = view->getProgressPeak();

            if (retryAfterFailure && attempt.resultText == ViewSink::failureText &&
                view->isUpdateButtonEnabled())
            {
                // Trying again once the pedal is back (or gone for good).
                testing_support::pumpUntil ([&setup] { return !anyRestarting (*setup); }, limit);
                attempt.pedalsAfter = pedalsOf (*setup);
                record.attempts.push_back (attempt);

                attempt = {};
                attempt.requested = true;
                attempt.pedalsBefore = record.attempts.back().pedalsAfter;
                view->forgetProgressPeak();

                const auto resultsBefore = view->getNumResults();
                controller->post (new message::UpdateRequest());

                if (resultShown (resultsBefore))
                    attempt.resultText = view->getResultText();

                testing_support::drainMessages();
                attempt.exitCode = controller->getExitCode();
                attempt.progressPeak = view->getProgressPeak();
            }

            // Closing the window.
            controller->post (new message::CloseRequest());
        }

        record.ended = testing_support::pumpUntil ([&quitRequested] { return quitRequested; }, limit);
        record.downloaderStopped = testing_support::pumpUntil (
            [&downloader] { return !downloader->isThreadRunning(); }, threadEndLimitMs);
        testing_support::drainMessages();

        if (!interactive)
        {
            attempt.requested = view->isDeviceFound();
            attempt.resultText = view->getResultText();
            attempt.exitCode = controller->getExitCode();
            attempt.progressPeak = view->getProgressPeak();
        }

        // Torn down in the application's order: the downloader first, since its
        // thread uses the transport and the controller.
        downloader.reset();
        midi.reset();
        firmware.reset();
        controller.reset();
        model.reset();
        view.reset();

        // Messages still queued for the components that are gone are dropped here.
        testing_support::drainMessages();

        attempt.pedalsAfter = pedalsOf (*setup);
        record.attempts.push_back (attempt);
    }

    record.durationMs = juce::Time::getMillisecondCounterHiRes() - started;
    record.openPortsAfter = setup->getBus().getNumOpenPorts();
    setup.reset();

    // JUCE's threads are detached: one whose stop has returned may take a moment
    // more to leave the process's thread list.
    auto countThreads = [&record]
    {
        record.downloaderThreadsAfter = ProcessProbe::countThreadsNamed ("Downloader");
        record.pedalThreadsAfter = ProcessProbe::countThreadsNamed ("Pedal");
        return record.downloaderThreadsAfter + record.pedalThreadsAfter == 0;
    };
    testing_support::pumpUntil (countThreads, threadEndLimitMs);
    record.threadsAfter = ProcessProbe::threadNames().size();
    return record;
}

} // namespace soak
