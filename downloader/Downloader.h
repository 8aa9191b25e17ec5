#pragma once

#include "downloader/DownloaderInterface.h"
#include "downloader/Pacing.h"
#include "message/Messages.h"
#include "midi/MidiIf.h"
#include "midi/StepTrace.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

namespace downloader
{

/**
    Everything that involves the pedal.

    Its thread, "Downloader", does everything that waits on the pedal. When the
    model byte arrives it looks for the pedal there (300 ms per candidate port pair,
    which on the message thread would freeze the window) and reports what it found.
    On the message thread it collects the firmware packages from the model, one
    request and one response at a time; once the queue holds the whole image the
    thread sends the packages with fixed pauses, waits for the pedal to restart and
    reads back its revision, which goes to the controller for the verdict.

    Only the thread uses the MIDI transport, one job at a time. Every pause of the
    thread ends as soon as the thread is asked to stop, so the destructor never has
    to kill it.
*/
class Downloader : public DownloaderInterface, public juce::Thread, private juce::Thread::Listener
{
public:
    /** Where the transfer thread stands; it only ever moves forward. */
    enum State : int
    {
        Start = 0,
        Wait = 1,
        Transfer = 2,
        Reconnect = 3,
        Verify = 4
    };

    /** Neither pointer is owned; both must outlive the downloader. The thread is not started here. */
    Downloader (controller::ControllerIF* controller, midi::MidiIf* midi, bool autoUpdate,
                Pacing pacing = {});

    /** Stops a running transfer; it ends within one pause's wake-up, not after the time-out. */
    ~Downloader() override;

    /** Handles UpdateRequest, NextPackageResponse and ModelIdResponse; ignores everything else. */
    void processMessage (message::BaseMessage& message) override;

    /** The thread's job: the search for the pedal, or the transfer, which runs one
        step of the current state after another until it ends. */
    void run() override;

    /** Where the thread describes each step of a transfer; set before the first message. */
    void setStepTrace (midi::StepTrace trace) { stepTrace = std::move (trace); }

private:
    //==============================================================================
    /** What the thread does when started. */
    enum class Job
    {
        search,
        transfer
    };

    /** Runs a function on the message thread when the thread's search has ended. */
    class SearchEnd final : private juce::AsyncUpdater
    {
    public:
        explicit SearchEnd (std::function<void()> callback)
            : onEnd (std::move (callback))
        {
        }
        ~SearchEnd() override { cancelPendingUpdate(); }

        using juce::AsyncUpdater::triggerAsyncUpdate;

    private:
        void handleAsyncUpdate() override { onEnd(); }
        std::function<void()> onEnd;
    };

    //==============================================================================
    void handleUpdateRequest();
    void handlePackageResponse (const message::NextPackageResponse& response);
    void handleModelId (juce::uint8 modelId);

    /** Message thread: the search has reported; the thread is only returning. */
    void searchEnded();

    /** The search for the pedal after the model byte arrived; reports it to the controller. */
    void runSearch();

    //==============================================================================
    // Steps of the transfer; each returns false when the thread is to end.
    bool runStep();
    bool sendFirstPackage();
    bool waitForBootLoader();
    bool sendNextPackage();
    bool reconnect();
    bool verify();

    /** Asks the restarted pedal for its revision and posts it; false when no usable reply came. */
    bool queryRevision();

    /** Waits `milliseconds` from now; see pauseUntil(). */
    bool pause (int milliseconds);

    /** Waits until the hi-res millisecond counter reaches `endMs`, never less: an early
        wake-up waits again for what is left. Ends early only on a stop request, and
        then returns false. */
    bool pauseUntil (double endMs);

    /** A stop request ends a pause at once. */
    void exitSignalSent() override;

    juce::Array<juce::uint8> takeFirstPackage();
    void postProgress();
    void postToController (message::BaseMessage* message);
    void trace (const juce::String& line) const;

    /** Searches for the pedal; on failure, the UpdateStatus that says why. */
    std::optional<message::UpdateResult> searchDuringUpdate (message::UpdateResult whenNoneAnswered);

    //==============================================================================
    std::mutex pauseLock;
    std::condition_variable pauseWake;

    juce::Array<juce::Array<juce::uint8>, juce::CriticalSection> packageQueue;
    State state = Start;
    juce::uint8 modelByte = 0;
    juce::uint32 totalPackages = 0;
    midi::MidiIf* midi; // not owned
    double progress = 0.0;
    juce::uint32 waitRounds = 0;
    const bool autoUpdate;
    const Pacing pacing;
    midi::StepTrace stepTrace;

    /** Searches made since the transfer's last package. */
    int reconnectAttempts = 0;

    /** True from an accepted UpdateRequest until the thread starts: only then may packages be queued. */
    bool collecting = false;

    /** Written by the message thread while the thread is not running. */
    Job job = Job::transfer;

    /** An UpdateRequest that came while the search ran; taken up once it has ended. */
    bool updateAfterSearch = false;

    SearchEnd searchEnd{[this] { searchEnded(); }};

    /** True after a search that found no pedal (at start-up, or a reconnection that
        gave up): the transport is closed, so a transfer must find the pedal first. */
    std::atomic<bool> pedalLost{false};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Downloader)
};

} // namespace downloader
