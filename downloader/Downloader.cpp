#include "downloader/Downloader.h"

#include "midi/SevenBitPacking.h"
#include "midi/SysExFormat.h"

#include <chrono>
#include <utility>

#if JUCE_LINUX
#include <sys/prctl.h>
#endif

namespace downloader
{

namespace
{
/** Progress added by each pause after the first package, and by each failed search for the pedal. */
constexpr double waitStepProgress = 0.0025;
constexpr double reconnectStepProgress = 0.05;
} // namespace

//==============================================================================
Downloader::Downloader (controller::ControllerIF* controllerToUse, midi::MidiIf* midiToUse,
                        bool autoUpdateRun, Pacing pacingToUse)
    : DownloaderInterface (controllerToUse)
    , juce::Thread ("Downloader")
    , midi (midiToUse)
    , autoUpdate (autoUpdateRun)
    , pacing (pacingToUse)
{
    jassert (midi != nullptr);
    addListener (this);
}

Downloader::~Downloader()
{
    // Every pause of the transfer wakes on this stop request and the thread checks
    // it right after, so it ends long before the time-out: a forced kill would
    // leave the queue's lock and the MIDI ports in unknown states.
    [[maybe_unused]] const bool stopped = stopThread (2500);
    jassert (stopped);
    removeListener (this);
}

//==============================================================================
void Downloader::processMessage (message::BaseMessage& message)
{
    switch (message.type)
    {
        case message::Code::updateRequest:
            handleUpdateRequest();
            break;

        case message::Code::nextPackageResponse:
            if (auto* response = dynamic_cast<const message::NextPackageResponse*> (&message))
                handlePackageResponse (*response);
            break;

        case message::Code::modelIdResponse:
            if (auto* response = dynamic_cast<const message::ModelIdResponse*> (&message))
                handleModelId (response->modelId);
            break;

        default:
            break;
    }
}

void Downloader::handleUpdateRequest()
{
    if (isThreadRunning())
    {
        // The search owns the ports until it has reported; an unattended run asks for
        // the update as soon as the pedal is found, while the search is still ending.
        if (job == Job::search)
            updateAfterSearch = true;

        // A transfer in progress owns the queue and the state: resetting them under it
        // would send the pedal a second, interleaved image.
        return;
    }

    packageQueue.clear();
    state = Start;
    collecting = true;
    postToController (new message::NextPackageRequest());
}

void Downloader::handlePackageResponse (const message::NextPackageResponse& response)
{
    // Packages are taken only between an accepted UpdateRequest and the start of
    // the thread; the thread owns the queue from then on.
    if (!collecting)
        return;

    if (response.index < response.total)
    {
        // The model numbers its packages from 0 after each rewind. A response whose
        // index is not the next free place in the queue is left over from before a
        // rewind or duplicated by a second request chain: queueing it would repeat
        // or skip part of the image, so it is dropped and its chain ends here.
        if (response.index != static_cast<juce::uint32> (packageQueue.size()))
            return;

        totalPackages = response.total;
        packageQueue.add (response.package);
        postToController (new message::NextPackageRequest());
        return;
    }

    // The model has no package left. Only a queue that holds the whole image may
    // go to the pedal; the end seen by a second request chain comes after the
    // thread has started, when nothing is collected any more.
    if (isThreadRunning() || response.total == 0 || totalPackages != response.total ||
        packageQueue.size() != static_cast<int> (response.total))
        return;

    collecting = false;
    job = Job::transfer;

    if (!startThread())
        postToController (new message::UpdateStatus (message::transferNotStarted));
}

void Downloader::handleModelId (juce::uint8 modelId)
{
    // The thread owns the transport while it runs, and a collected image is about
    // to become its transfer: a second search would use the same ports at once.
    if (isThreadRunning() || collecting)
        return;

    modelByte = modelId;
    job = Job::search;

    if (!startThread())
    {
        pedalLost = true;
        postToController (new message::DeviceNotFound());
    }
}

void Downloader::searchEnded()
{
    // The search has posted its result and does nothing more: waiting for its
    // thread to return takes no time, and frees the thread for the transfer.
    [[maybe_unused]] const bool ended = waitForThreadToExit (2500);
    jassert (ended);

    if (std::exchange (updateAfterSearch, false))
        handleUpdateRequest();
}

//==============================================================================
void Downloader::run()
{
#if JUCE_LINUX
    // The kernel lets a sleeping thread wake up to 50 us late by default; over the
    // hundreds of short pauses of a transfer that slack adds up, so this thread asks
    // for none.
    prctl (PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif

    if (job == Job::search)
    {
        runSearch();
        return;
    }

    progress = 0.0;

    while (!threadShouldExit())
        if (!runStep())
            return;
}

void Downloader::runSearch()
{
    pedalLost = !midi->findDevice (modelByte);

    // A search cut short by a stop request says nothing about the pedal.
    if (threadShouldExit())
        return;

    if (!pedalLost)
    {
        juce::String name;
        midi->getDeviceName (name);
        postToController (new message::DeviceFound (name));
    }
    else
    {
        // Several pedals answering is not "no pedal": the user has to unplug one.
        const auto answered = midi->getNumAnswered();
        postToController (new message::DeviceNotFound (answered > 1 ? answered : 0));
    }

    searchEnd.triggerAsyncUpdate();
}

bool Downloader::runStep()
{
    switch (state)
    {
        case Start:
            return sendFirstPackage();
        case Wait:
            return waitForBootLoader();
        case Transfer:
            return sendNextPackage();
        case Reconnect:
            return reconnect();
        case Verify:
            return verify();
    }
    return false;
}

bool Downloader::sendFirstPackage()
{
    // After a reconnection that gave up, the transport is closed and the whole image
    // would go to no port at all, so that no retry could ever reach the pedal: look
    // for it again first, and fail at once if it is not there.
    if (pedalLost)
    {
        const auto failure = searchDuringUpdate (message::pedalNotFound);

        if (threadShouldExit())
            return false;

        if (failure.has_value())
        {
            postToController (new message::UpdateStatus (*failure));
            return false;
        }
    }

    midi->sendSysEx (takeFirstPackage());
    trace ("erase: first package sent" +
           juce::String (autoUpdate ? "" : "; waiting for the pedal to erase its flash"));
    waitRounds = 0;
    reconnectAttempts = 0;
    state = autoUpdate ? Transfer : Wait;
    return true;
}

bool Downloader::waitForBootLoader()
{
    // The boot loader erases its flash after the first package; an unattended run
    // never comes here.
    if (waitRounds >= static_cast<juce::uint32> (juce::jmax (0, pacing.waitRounds)))
    {
        state = Transfer;
        return true;
    }

    ++waitRounds;
    progress += waitStepProgress;
    postProgress();
    return pause (pacing.waitStepMs);
}

bool Downloader::sendNextPackage()
{
    // Nothing is appended while the thread runs, so the count needs no lock.
    if (packageQueue.isEmpty())
    {
        trace ("transfer: ended, all " + juce::String (totalPackages) + " packages sent; the pedal restarts");
        state = Reconnect;
        return true;
    }

    if (packageQueue.size() + 1 == static_cast<int> (totalPackages))
        trace ("transfer: started, " + juce::String (packageQueue.size()) + " packages to go");

    midi->sendSysEx (takeFirstPackage());

    // The pause runs from the moment the send returned, so the progress report is
    // made inside it and does not stretch the gap between two packages.
    const auto pauseEnd = juce::Time::getMillisecondCounterHiRes() +
                          (autoUpdate ? pacing.autoUpdateGapMs : pacing.interactiveGapMs);

    const auto remaining = static_cast<double> (packageQueue.size());
    progress = (60.0 - remaining * 50.0 / static_cast<double> (totalPackages)) / 100.0;
    postProgress();

    return pauseUntil (pauseEnd);
}

bool Downloader::reconnect()
{
    // The pedal restarts after the last package; its ports vanish and come back.
    if (!pause (pacing.reconnectPauseMs))
        return false;

    midi->closeDevice();
    ++reconnectAttempts;
    trace ("restart: search " + juce::String (reconnectAttempts) + " for the restarted pedal");
    const auto failure = searchDuringUpdate (message::pedalDidNotReturn);

    // A search cut short by a stop request says nothing about the pedal.
    if (threadShouldExit())
        return false;

    if (!failure.has_value())
    {
        state = Verify;
        return true;
    }

    // A second pedal answering now was plugged in during the update: whichever of
    // the two would answer the revision query, its answer could not be trusted.
    if (*failure == message::severalPedals)
    {
        postToController (new message::UpdateStatus (*failure));
        return false;
    }

    progress += reconnectStepProgress;
    postProgress();

    if (progress >= 1.0)
    {
        postToController (new message::UpdateStatus (message::pedalDidNotReturn));
        return false;
    }
    return true;
}

bool Downloader::verify()
{
    if (!queryRevision())
        postToController (new message::UpdateStatus (message::revisionNotAnswered));
    return false;
}

bool Downloader::queryRevision()
{
    juce::Array<juce::uint8> reply;

    if (!midi->sendAndReceive (midi::deviceCommand (modelByte, midi::revisionQueryCommand), reply,
                               midi::revisionReplyPauses))
    {
        trace ("revision: no answer to the revision query");
        return false;
    }

    // A reply too short to hold four unpacked bytes is as good as none.
    const auto revision = midi::decodeRevision (reply);
    if (!revision.has_value())
    {
        trace ("revision: the pedal's answer is too short to hold a revision");
        return false;
    }

    trace ("revision: the pedal reports " + juce::String (*revision));

    postToController (new message::SVNUpdate (*revision, message::revisionFromPedal));
    return true;
}

//==============================================================================
bool Downloader::pause (int milliseconds)
{
    return pauseUntil (juce::Time::getMillisecondCounterHiRes() + juce::jmax (0, milliseconds));
}

bool Downloader::pauseUntil (double endMs)
{
    // One wake-up per pause, at its end: the condition variable waits for a point in time
    // of the monotonic clock (the one the hi-res counter reads) to the microsecond.
    // Thread::wait takes whole milliseconds in JUCE 7, so a pause made with it needed a
    // second, short sleep for the last fraction of a millisecond, and every wake-up costs
    // more than the work of a package. A stop request notifies the condition variable.
    using Clock = std::chrono::steady_clock;
    std::unique_lock<std::mutex> lock (pauseLock);

    for (;;)
    {
        if (threadShouldExit())
            return false;

        const auto left = endMs - juce::Time::getMillisecondCounterHiRes();
        if (left <= 0.0)
            return true;

        pauseWake.wait_until (lock, Clock::now() + std::chrono::duration_cast<Clock::duration> (
                                                       std::chrono::duration<double, std::milli> (left)));
    }
}

void Downloader::exitSignalSent()
{
    // Taking the lock orders the stop flag, set just before this call, before the
    // check of a pause that is about to wait, so that the notification is not lost.
    {
        const std::lock_guard<std::mutex> guard (pauseLock);
    }
    pauseWake.notify_all();
}

juce::Array<juce::uint8> Downloader::takeFirstPackage()
{
    const juce::ScopedLock lock (packageQueue.getLock());

    if (packageQueue.isEmpty())
        return {};

    // Moved out rather than copied (removeAndReturn copies): the queue's element is
    // removed right after, so nobody else sees its emptied bytes.
    auto package = std::move (packageQueue.getReference (0));
    packageQueue.remove (0);
    return package;
}

std::optional<message::UpdateResult> Downloader::searchDuringUpdate (message::UpdateResult whenNoneAnswered)
{
    pedalLost = !midi->findDevice (modelByte);

    if (!pedalLost)
        return std::nullopt;

    return midi->getNumAnswered() > 1 ? message::severalPedals : whenNoneAnswered;
}

void Downloader::trace (const juce::String& line) const
{
    if (stepTrace)
        stepTrace (line);
}

void Downloader::postProgress()
{
    postToController (new message::ProgressUpdate (progress));
}

void Downloader::postToController (message::BaseMessage* message)
{
    message::ListenerInterface::postTo (controller, message);
}

} // namespace downloader
