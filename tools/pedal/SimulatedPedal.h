#pragma once

#include "tools/pedal/ArrivalTimes.h"
#include "tools/pedal/FlashMemory.h"
#include "tools/pedal/ForeignTraffic.h"
#include "tools/pedal/PedalConfig.h"
#include "tools/pedal/PedalPorts.h"
#include "tools/pedal/TransitFaults.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <atomic>
#include <functional>
#include <vector>

namespace pedal
{

/**
    The Verrano2 as the updater meets it on MIDI: it acknowledges the device probe,
    answers the revision query and, in its boot loader, takes a firmware image
    (erase, 490 blocks, end), checks it and restarts, coming back in normal
    operation with the image's revision or in the boot loader with revision 0.
    The faults of a PedalConfig change how it answers and what reaches it.

    Like the real device it answers on its own thread: receive() only queues, and a
    thread named "Pedal" handles the queue and sends through the PedalPorts.
    It records what it received for tests and reports.
*/
class SimulatedPedal : private juce::Thread
{
public:
    /** Whether the pedal's ports are on the bus. */
    enum class Presence
    {
        off,        ///< not started yet
        online,     ///< ports present, answering
        restarting, ///< ports gone after an update, coming back
        unplugged   ///< ports gone for good
    };

    enum class CheckOutcome
    {
        notRun,
        passed,
        failed
    };

    /** A snapshot of the pedal's state and of what it has received. */
    struct Status
    {
        Presence presence = Presence::off;
        PedalMode mode = PedalMode::bootLoader;
        juce::String portName;
        juce::int32 revision = 0;
        bool erased = false;         ///< boot loader has erased the flash and takes blocks
        int packages = 0;            ///< firmware packages (51, 52) received, in any mode
        std::vector<int> blockOrder; ///< block numbers stored since the last erase, in arrival order
        std::vector<int> duplicates; ///< block numbers stored more than once
        std::vector<int> missing;    ///< block numbers not stored since the last erase
        int malformedBlocks = 0;     ///< block packages of the wrong size or number
        CheckOutcome check = CheckOutcome::notRun;
        juce::String checkReason;     ///< why the last check failed
        int restarts = 0;             ///< restarts begun after an image's end
        int probes = 0;               ///< device probes received while online
        int queries = 0;              ///< revision queries received while online
        ArrivalTimes::Gaps blockGaps; ///< pacing of the flash blocks of the last update, on arrival
        ArrivalTimes::Waits waits;    ///< the updater's single pauses, on arrival
    };

    /** The pedal keeps a copy of the configuration and uses the ports until it is stopped. */
    SimulatedPedal (const PedalConfig& config, PedalPorts& ports);

    /** Stops the thread (promptly: it waits on an event, never in a long sleep). */
    ~SimulatedPedal() override;

    //==============================================================================
    /** Presents the ports (on the calling thread, before returning) and starts answering. */
    void start();

    /** Stops answering; the ports are left as they are. Safe to call more than once. */
    void stop();

    /** Hands the pedal one message from its input port. Thread-safe; faults in transit
        are applied here; the message is handled later on the pedal's thread. */
    void receive (const juce::MidiMessage& message);

    /** For tests that must find the updater waiting for the revision: while held, the
        pedal keeps its answers to the revision query back; releasing (false) sends
        those it kept, each as its settings say. Thread-safe. */
    void holdRevisionAnswers (bool hold);

    /** Called on the pedal's thread after each change of its state. Set before start(). */
    void setStateChangeCallback (std::function<void()> callback);

    //==============================================================================
    Status getStatus() const;

    /**
        The state as key=value lines, for tests and pedal-sim's report file:
        state (off, online, restarting, unplugged), mode (boot, normal), name, revision,
        erased (0, 1), packages, blocks (count), block-order, duplicates, missing (block
        numbers, ascending runs written as ranges: "0-16,18-489,17"), malformed, check
        (not-run, passed, failed), check-reason, restarts, probes, queries; then the
        pacing on arrival in milliseconds: block-gaps (count), gap-min-ms, gap-median-ms,
        gap-p99-ms, gap-max-ms, erase-to-block-ms, end-to-probe-ms, probe-to-next-ms
        (see ArrivalTimes).
    */
    juce::String report() const;

    /** Block numbers with ascending runs folded into ranges, comma-separated. */
    static juce::String formatBlockList (const std::vector<int>& numbers);

private:
    struct TimedSend
    {
        double due;
        juce::MidiMessage message;
    };

    void run() override;
    void handle (const juce::MidiMessage& message);
    void handleFirmware (const juce::uint8* data, int size);
    void answerRevisionQuery (juce::int32 revision);
    void finishUpdate();
    void comeBack();
    void runDueWork();
    int millisecondsUntilNextWork() const;
    void sendOrSchedule (const juce::MidiMessage& message, int delayMs);
    void changed();
    static double now();

    //==============================================================================
    const PedalConfig config;
    PedalPorts& ports;
    std::function<void()> stateChanged;

    // Owned by the pedal's thread.
    ForeignTraffic foreignTraffic;
    std::vector<TimedSend> pendingSends;
    bool portsPresent = false;
    double nextForeignRound = 0.0;
    double comebackDue = 0.0;
    bool comebackPending = false;
    PedalMode comebackMode = PedalMode::bootLoader;
    juce::int32 comebackRevision = 0;
    std::vector<juce::int32> heldRevisionAnswers; ///< revisions to answer once released

    std::atomic<bool> revisionAnswersHeld{false};

    // Written by the pedal's thread, read by anyone; also held while the ports
    // appear or vanish, so that they and the state change as one.
    juce::CriticalSection stateLock;
    Status status;
    FlashMemory flash;

    // The input queue, filled by receive() on any thread.
    juce::CriticalSection queueLock;
    TransitFaults transit;
    std::vector<juce::MidiMessage> incoming;
    ArrivalTimes arrivals;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SimulatedPedal)
};

} // namespace pedal
