#include "controller/Controller.h"

#include <utility>

namespace controller
{

namespace
{
/** The message as the class its code names; null if the object is of another class,
    so that a malformed message is ignored rather than misread. */
template<typename MessageClass>
const MessageClass* payloadOf (const message::BaseMessage& message)
{
    return dynamic_cast<const MessageClass*> (&message);
}

void quitRunningApplication()
{
    // Outside a running application (tools, tests) there is nobody to ask.
    if (auto* app = juce::JUCEApplicationBase::getInstance())
        app->systemRequestedQuit();
}
} // namespace

//==============================================================================
Controller::Controller()
    : Controller (quitRunningApplication)
{
}

Controller::Controller (std::function<void()> quitAction)
    : quit (std::move (quitAction))
{
}

Controller::~Controller() = default;

//==============================================================================
void Controller::setModel (message::ListenerInterface* newModel) noexcept
{
    model = newModel;
}

void Controller::setView (message::ListenerInterface* newView) noexcept
{
    view = newView;
}

void Controller::setDownloader (message::ListenerInterface* newDownloader) noexcept
{
    downloader = newDownloader;
}

void Controller::start (bool shouldBeInteractive)
{
    interactive = shouldBeInteractive;

    postNew<message::UpdateButtonDisable> (view);
    postNew<message::ProductInfoRequest> (model);
    postNew<message::SVNNumberRequest> (model);
    // Through the queue, so the model gets it behind the two requests above.
    post (new message::ModelIdRequest());
}

int Controller::getExitCode() const
{
    // A script reads this code alone: anything short of the pedal reporting the
    // image's revision (a run stopped early included) must not read as success.
    if (!interactive)
        return pedalReportedImageRevision ? 0 : -1;

    return exitCode;
}

Controller::Outcome Controller::getOutcome() const
{
    Outcome outcome;
    outcome.pedalRevision = deviceRevision;
    outcome.imageRevision = imageRevision;

    if (lastResult.has_value())
    {
        outcome.kind =
            *lastResult == message::updateSucceeded ? Outcome::Kind::updated : Outcome::Kind::failed;
        outcome.failure = *lastResult;
    }
    else if (pedalReportedImageRevision)
    {
        // The verdict is queued behind the revision; the pedal has reported it all the same.
        outcome.kind = Outcome::Kind::updated;
    }
    else if (noPedalAtStart)
    {
        outcome.kind = pedalsAtStart > 1 ? Outcome::Kind::severalPedals : Outcome::Kind::pedalNotFound;
        outcome.pedalsAnswered = pedalsAtStart;
    }

    return outcome;
}

//==============================================================================
void Controller::processMessage (message::BaseMessage& message)
{
    switch (message.type)
    {
        case message::Code::helpRequest:
        case message::Code::nextPackageRequest:
        case message::Code::modelIdRequest:
            forward (model, message);
            break;

        case message::Code::helpResponse:
        case message::Code::productInfoResponse:
        case message::Code::textMessage:
            forward (view, message);
            break;

        case message::Code::closeRequest:
            handleClose();
            break;

        case message::Code::updateRequest:
            handleUpdateRequest();
            break;

        case message::Code::nextPackageResponse:
            forward (downloader, message);
            postNew<message::UpdateButtonDisable> (view);
            break;

        case message::Code::progressUpdate:
            if (auto* progress = payloadOf<message::ProgressUpdate> (message))
            {
                handleProgress (*progress);
                forward (view, message);
            }
            break;

        case message::Code::modelIdResponse:
            forward (downloader, message);
            break;

        case message::Code::svnUpdate:
            if (auto* update = payloadOf<message::SVNUpdate> (message))
                handleRevision (*update);
            break;

        case message::Code::deviceNotFound:
            forward (view, message);
            if (auto* notFound = payloadOf<message::DeviceNotFound> (message))
                handleDeviceNotFound (notFound->pedalsAnswered);
            else
                handleDeviceNotFound (0);
            break;

        case message::Code::deviceFound:
            if (auto* found = payloadOf<message::DeviceFound> (message))
                handleDeviceFound (*found);
            break;

        case message::Code::updateStatus:
            if (auto* result = payloadOf<message::UpdateStatus> (message))
                handleResult (*result);
            break;

        default:
            // ProductInfoRequest, the button messages, SVNNumberRequest and unknown codes.
            break;
    }
}

//==============================================================================
void Controller::handleClose()
{
    downloader = nullptr;
    view = nullptr;
    model = nullptr;

    if (quit)
        quit();
}

void Controller::handleUpdateRequest()
{
    // The downloader's request comes first; the model rewinds before the downloader's
    // first NextPackageRequest can reach it, so every transfer starts at package 0.
    postNew<message::UpdateRequest> (downloader);
    postNew<message::UpdateRequest> (model);
    postNew<message::TextMessage> (view, juce::String());
}

void Controller::handleProgress (const message::ProgressUpdate& progress)
{
    // Only a completed bar ends an unattended run; values merely close to 1.0 do not.
    if (!interactive && std::equal_to<double>() (progress.progress, 1.0))
        post (new message::CloseRequest());
}

void Controller::handleDeviceNotFound (int pedalsAnswered)
{
    postNew<message::UpdateButtonDisable> (view);

    // A failed search after the pedal was found (it restarts during a transfer) is
    // the downloader's business; only a pedal never found ends an unattended run.
    // With several pedals connected nothing is sent to any of them.
    if (!deviceFound)
    {
        noPedalAtStart = true;
        pedalsAtStart = pedalsAnswered;
    }

    if (!interactive && !deviceFound)
    {
        exitCode = -1;
        post (new message::CloseRequest());
    }
}

void Controller::handleRevision (const message::SVNUpdate& update)
{
    if (update.source == message::RevisionSource::revisionFromPedal)
    {
        deviceRevision = update.revision;
        deviceRevisionReceived = true;
    }
    else if (update.source == message::RevisionSource::revisionFromImage)
    {
        imageRevision = update.revision;
        imageRevisionReceived = true;
    }
    else
    {
        deviceRevision = -1;
        imageRevision = -1;
        deviceRevisionReceived = false;
        imageRevisionReceived = false;
    }

    if (!deviceRevisionReceived || !imageRevisionReceived)
        return;

    const bool updated = deviceRevision == imageRevision;
    pedalReportedImageRevision = pedalReportedImageRevision || updated;

    // Queued back to back, so the result (and the exit code) is handled before the
    // CloseRequest that the full bar posts in an unattended run.
    post (new message::ProgressUpdate (1.0));
    post (new message::UpdateStatus (updated ? message::updateSucceeded : message::revisionMismatch));
}

void Controller::handleDeviceFound (const message::DeviceFound& found)
{
    postNew<message::DeviceFound> (view, found.deviceName);
    postNew<message::DeviceFound> (downloader, found.deviceName);
    deviceFound = true;

    if (interactive || autoUpdateStarted)
    {
        // The pedal takes firmware only while its boot loader runs, and that port's
        // name says so.
        if (found.deviceName.containsIgnoreCase ("boot"))
            postNew<message::UpdateButtonEnable> (view);
        else
            postNew<message::UpdateButtonDisable> (view);
        return;
    }

    // Unattended, first sighting: start at once. The model's cursor still stands at
    // the first package, so it needs no rewind.
    autoUpdateStarted = true;
    postNew<message::UpdateRequest> (downloader);
}

void Controller::handleResult (const message::UpdateStatus& result)
{
    postNew<message::UpdateButtonEnable> (view);
    lastResult = result.status;

    if (result.status != 0)
    {
        postNew<message::TextMessage> (view, "Firmware upgrade failed. Please try again");
        exitCode = -1;
    }
    else
    {
        postNew<message::TextMessage> (view, "Firmware upgrade successful");
        exitCode = 0;
    }

    if (!interactive)
        post (new message::CloseRequest());
}

//==============================================================================
void Controller::forward (message::ListenerInterface* target, message::BaseMessage& message)
{
    if (target != nullptr)
        target->post (&message);
}

} // namespace controller
