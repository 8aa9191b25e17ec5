#pragma once

#include "downloader/DownloaderInterface.h"
#include "downloader/Pacing.h"
#include "message/Messages.h"
#include "midi/MidiIf.h"

#include <atomic>

namespace downloader
{

/**
    Everything that involves the pedal.

    On the message thread it looks for the pedal when the model byte arrives and
    collects the firmware packages from the model, one request and one response
    at a time. Once the queue holds the whole image its thread, "Downloader",
    sends the packages with fixed pauses, waits for the pedal to restart and reads
    back its revision, which goes to the controller for the verdict.

    Every pause of the thread ends as soon as the thread is asked to stop, so the
    destructor never has to kill it.
*/
class Downloader : public DownloaderInterface, public juce::Thread
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

    /** The transfer: runs one step of the current state after another until it ends. */
    void run() override;

private:
    //==============================================================================
    void handleUpdateRequest();
    void handlePackageResponse (const message::NextPackageResponse& response);
    void handleModelId (juce::uint8 modelId);

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

    juce::Array<juce::uint8> takeFirstPackage();
    void postProgress();
    void postToController (message::BaseMessage* message);

    //==============================================================================
    juce::Array<juce::Array<juce::uint8>, juce::CriticalSection> packageQueue;
    State state = Start;
    juce::uint8 modelByte = 0;
    juce::uint32 totalPackages = 0;
    midi::MidiIf* midi; // not owned
    double progress = 0.0;
    juce::uint32 waitRounds = 0;
    const bool autoUpdate;
    const Pacing pacing;

    /** True from an accepted UpdateRequest until the thread starts: only then may packages be queued. */
    bool collecting = false;

    /** True after a search that found no pedal (at start-up, or a reconnection that
        gave up): the transport is closed, so a transfer must find the pedal first. */
    std::atomic<bool> pedalLost{false};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Downloader)
};

} // namespace downloader
