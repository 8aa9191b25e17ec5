#include "PedalTestMessages.h"

#include "midi/SysExFormat.h"
#include "support/MessagePump.h"
#include "tools/pedal/PedalProtocol.h"
#include "tools/pedal/SimulatedSetup.h"
#include "tools/pedal/VirtualMidiBus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using pedal::PedalConfig;
using pedal::SimulatedPedal;
using pedal::SimulatedSetup;
using pedal_test::configFor;

namespace
{

/** The updater's side of an input port: records what arrives and on which thread. */
class RecordingCallback : public juce::MidiInputCallback
{
public:
    void handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& message) override
    {
        if (closed)
            ++callsAfterClose;

        {
            const std::lock_guard<std::mutex> lock (mutex);
            messages.push_back (message);
            threads.push_back (std::this_thread::get_id());
        }
        arrived.notify_all();
    }

    size_t count() const
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return messages.size();
    }

    std::vector<juce::MidiMessage> received() const
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return messages;
    }

    std::vector<std::thread::id> receivingThreads() const
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return threads;
    }

    bool waitForCount (size_t n, int timeoutMs = 10000) const
    {
        std::unique_lock<std::mutex> lock (mutex);
        return arrived.wait_for (lock, std::chrono::milliseconds (timeoutMs),
                                 [&] { return messages.size() >= n; });
    }

    /** Waits for a message of the pedal with this command. */
    bool waitForCommand (juce::uint8 command, int timeoutMs = 10000) const
    {
        std::unique_lock<std::mutex> lock (mutex);
        return arrived.wait_for (lock, std::chrono::milliseconds (timeoutMs),
                                 [&]
                                 {
                                     for (auto& m : messages)
                                         if (pedal::isForPedal (m) && m.getSysExDataSize() > 5 &&
                                             m.getSysExData()[5] == command)
                                             return true;
                                     return false;
                                 });
    }

    std::atomic<bool> closed{false};
    std::atomic<int> callsAfterClose{0};

private:
    mutable std::mutex mutex;
    mutable std::condition_variable arrived;
    std::vector<juce::MidiMessage> messages;
    std::vector<std::thread::id> threads;
};

} // namespace

//==============================================================================
TEST (VirtualMidiBus, ListsDevicesInOrderWithTheSilentOnesBeforeThePedal)
{
    SimulatedSetup setup (configFor ("extra-devices=2,unopenable-devices=1,second-pedal=normal"));
    auto ports = setup.makePorts();

    const juce::StringArray expected{"USB MIDI Interface 1", "USB MIDI Interface 2", "Busy MIDI Device 1",
                                     "Verrano2 Boot", "Verrano2"};
    EXPECT_EQ (ports->getInputNames(), expected);
    EXPECT_EQ (ports->getOutputNames(), expected);
    EXPECT_EQ (setup.getNumPedals(), 2);

    RecordingCallback callback;
    EXPECT_NE (ports->openInput (0, callback), nullptr);
    EXPECT_NE (ports->openOutput (1), nullptr);
    EXPECT_EQ (ports->openInput (2, callback), nullptr);
    EXPECT_EQ (ports->openOutput (2), nullptr);
    EXPECT_EQ (ports->openInput (5, callback), nullptr);
    EXPECT_EQ (ports->openOutput (-1), nullptr);
}

TEST (VirtualMidiBus, MismatchedNamesShowOnTheOutputSide)
{
    SimulatedSetup upper (configFor ("names=case"));
    EXPECT_EQ (upper.getBus().getInputNames(), juce::StringArray{"Verrano2 Boot"});
    EXPECT_EQ (upper.getBus().getOutputNames(), juce::StringArray{"VERRANO2 BOOT"});

    SimulatedSetup suffixed (configFor ("names=suffix,mode=normal"));
    EXPECT_EQ (suffixed.getBus().getInputNames(), juce::StringArray{"Verrano2"});
    EXPECT_EQ (suffixed.getBus().getOutputNames(), juce::StringArray{"Verrano2 Out"});
}

TEST (VirtualMidiBus, ThePedalsPortsCanRefuseToOpen)
{
    RecordingCallback callback;
    for (auto [which, inputOpens, outputOpens] :
         {std::make_tuple ("input", false, true), std::make_tuple ("output", true, false),
          std::make_tuple ("both", false, false), std::make_tuple ("none", true, true)})
    {
        SimulatedSetup setup (configFor (juce::String ("unopenable=") + which));
        EXPECT_EQ (setup.getBus().getInputNames(), juce::StringArray{"Verrano2 Boot"}) << which;
        EXPECT_EQ (setup.getBus().openInput (0, callback) != nullptr, inputOpens) << which;
        EXPECT_EQ (setup.getBus().openOutput (0) != nullptr, outputOpens) << which;
    }
}

//==============================================================================
TEST (VirtualMidiBus, AnswersArriveOnAnotherThreadAndOnlyAfterStart)
{
    SimulatedSetup setup;
    auto ports = setup.makePorts();

    RecordingCallback idle, started;
    auto idleInput = ports->openInput (0, idle);
    auto startedInput = ports->openInput (0, started);
    auto output = ports->openOutput (0);
    ASSERT_TRUE (idleInput && startedInput && output);
    startedInput->start();

    output->sendMessageNow (pedal_test::probe());
    ASSERT_TRUE (started.waitForCommand (midi::acknowledgeCommand));

    // Both inputs are served by the same send of the pedal, so the idle one was passed over.
    EXPECT_EQ (idle.count(), 0u);
    EXPECT_NE (started.receivingThreads().front(), std::this_thread::get_id());

    idleInput->start();
    output->sendMessageNow (pedal_test::revisionQuery());
    ASSERT_TRUE (idle.waitForCommand (midi::revisionQueryCommand));
    EXPECT_EQ (pedal_test::revisionIn (idle.received().front()), 1187);
}

TEST (VirtualMidiBus, SilentDevicesNeitherAnswerNorReachThePedal)
{
    SimulatedSetup setup (configFor ("extra-devices=1"));
    auto& bus = setup.getBus();

    RecordingCallback silent, pedalSide;
    auto silentInput = bus.openInput (0, silent);
    auto pedalInput = bus.openInput (1, pedalSide);
    silentInput->start();
    pedalInput->start();

    bus.openOutput (0)->sendMessageNow (pedal_test::probe());
    bus.openOutput (1)->sendMessageNow (pedal_test::probe());
    ASSERT_TRUE (pedalSide.waitForCommand (midi::acknowledgeCommand));

    EXPECT_EQ (silent.count(), 0u);
    EXPECT_EQ (pedalSide.count(), 1u);
    EXPECT_EQ (setup.getPedal().getStatus().probes, 1);
}

TEST (VirtualMidiBus, ARestartKillsOpenPortsAndListsFreshOnes)
{
    SimulatedSetup setup (configFor ("restart-ms=20"));
    auto ports = setup.makePorts();

    RecordingCallback oldSide;
    auto oldInput = ports->openInput (0, oldSide);
    auto oldOutput = ports->openOutput (0);
    oldInput->start();
    oldOutput->sendMessageNow (pedal_test::probe());
    ASSERT_TRUE (oldSide.waitForCommand (midi::acknowledgeCommand));

    for (auto& package : pedal_test::firmwarePackages())
        oldOutput->sendMessageNow (package);

    ASSERT_TRUE (testing_support::pumpUntil (
        [&] { return ports->getInputNames() == juce::StringArray{"Verrano2"}; }, 10000));
    EXPECT_EQ (ports->getOutputNames(), juce::StringArray{"Verrano2"});

    // The pedal is back and answering, but not on the ports opened before its restart.
    oldOutput->sendMessageNow (pedal_test::probe());

    RecordingCallback newSide;
    auto newInput = ports->openInput (0, newSide);
    auto newOutput = ports->openOutput (0);
    ASSERT_TRUE (newInput && newOutput);
    newInput->start();
    newOutput->sendMessageNow (pedal_test::revisionQuery());
    ASSERT_TRUE (newSide.waitForCommand (midi::revisionQueryCommand));

    EXPECT_EQ (pedal_test::revisionIn (newSide.received().front()), 1222);
    EXPECT_EQ (oldSide.count(), 1u);
    EXPECT_EQ (setup.getPedal().getStatus().probes, 1);
}

TEST (VirtualMidiBus, CountsOpenPortsUntilDeletedDeadOnesIncluded)
{
    SimulatedSetup setup (configFor ("restart-ms=600000,extra-devices=1"));
    auto& bus = setup.getBus();
    RecordingCallback callback;

    auto silentInput = bus.openInput (0, callback);
    auto pedalInput = bus.openInput (1, callback);
    auto pedalOutput = bus.openOutput (1);
    EXPECT_EQ (bus.getNumOpenPorts(), 3);

    silentInput.reset();
    EXPECT_EQ (bus.getNumOpenPorts(), 2);

    // The restart kills the pedal's ports, but whoever opened them still holds them.
    for (auto& package : pedal_test::firmwarePackages())
        pedalOutput->sendMessageNow (package);
    ASSERT_TRUE (testing_support::pumpUntil (
        [&] { return setup.getPedal().getStatus().presence == SimulatedPedal::Presence::restarting; },
        10000));
    EXPECT_EQ (bus.getNumOpenPorts(), 2);

    pedalInput.reset();
    pedalOutput.reset();
    EXPECT_EQ (bus.getNumOpenPorts(), 0);
}

TEST (VirtualMidiBus, NothingIsListedOrOpenedWhileThePedalRestarts)
{
    SimulatedSetup setup (configFor ("restart-ms=600000"));
    auto& bus = setup.getBus();
    auto output = bus.openOutput (0);

    for (auto& package : pedal_test::firmwarePackages())
        output->sendMessageNow (package);

    ASSERT_TRUE (testing_support::pumpUntil (
        [&] { return setup.getPedal().getStatus().presence == SimulatedPedal::Presence::restarting; },
        10000));

    RecordingCallback callback;
    EXPECT_TRUE (bus.getInputNames().isEmpty());
    EXPECT_TRUE (bus.getOutputNames().isEmpty());
    EXPECT_EQ (bus.openInput (0, callback), nullptr);
    EXPECT_EQ (bus.openOutput (0), nullptr);
}

//==============================================================================
TEST (VirtualMidiBus, DeletingInputsWhileMessagesFlowStopsDeliveryAtOnce)
{
    SimulatedSetup setup (configFor ("foreign=clock+notes,foreign-rate=1000,foreign-burst=20"));
    auto& bus = setup.getBus();

    RecordingCallback observer;
    auto observerInput = bus.openInput (0, observer);
    observerInput->start();

    std::vector<std::unique_ptr<RecordingCallback>> victims;
    for (int round = 0; round < 20; ++round)
    {
        victims.push_back (std::make_unique<RecordingCallback>());
        auto& victim = *victims.back();
        auto input = bus.openInput (0, victim);
        input->start();
        ASSERT_TRUE (victim.waitForCount (5));

        input.reset();
        victim.closed = true;
    }

    // Let plenty more traffic pass the deleted ports before looking.
    const auto seen = observer.count();
    ASSERT_TRUE (observer.waitForCount (seen + 200));

    for (auto& victim : victims)
        EXPECT_EQ (victim->callsAfterClose.load(), 0);
}

TEST (VirtualMidiBus, DeletingAnInputWaitsForItsRunningCallback)
{
    struct BlockingCallback : juce::MidiInputCallback
    {
        void handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage&) override
        {
            if (calls++ == 0)
            {
                entered.signal();
                release.wait (10000);
                finished = true;
            }
        }

        std::atomic<int> calls{0};
        std::atomic<bool> finished{false};
        juce::WaitableEvent entered, release;
    };

    SimulatedSetup setup (configFor ("foreign=clock,foreign-rate=100"));
    BlockingCallback callback;
    auto input = setup.getBus().openInput (0, callback);
    input->start();
    ASSERT_TRUE (callback.entered.wait (10000));

    std::atomic<bool> finishedWhenDeleted{false};
    std::thread deleter (
        [&]
        {
            input.reset();
            finishedWhenDeleted = callback.finished.load();
        });

    // Give the deleting thread a chance to reach the port before the callback ends.
    juce::WaitableEvent().wait (50);
    callback.release.signal();
    deleter.join();

    EXPECT_TRUE (finishedWhenDeleted);
    const auto callsAtDeletion = callback.calls.load();

    // The pedal goes on sending; none of it reaches the deleted port.
    RecordingCallback observer;
    auto observerInput = setup.getBus().openInput (0, observer);
    observerInput->start();
    ASSERT_TRUE (observer.waitForCount (3));
    EXPECT_EQ (callback.calls.load(), callsAtDeletion);
}

//==============================================================================
TEST (SimulatedSetup, PortLayersAndSetupKeepTheBusAliveForEachOther)
{
    auto setup = std::make_unique<SimulatedSetup>();
    auto ports = setup->makePorts();
    setup.reset();

    RecordingCallback callback;
    auto input = ports->openInput (0, callback);
    input->start();
    ports->openOutput (0)->sendMessageNow (pedal_test::probe());
    EXPECT_TRUE (callback.waitForCommand (midi::acknowledgeCommand));
    input.reset();

    SimulatedSetup other;
    other.makePorts().reset();
    EXPECT_EQ (other.makePorts()->getInputNames(), juce::StringArray{"Verrano2 Boot"});
    EXPECT_EQ (other.getPedal().getStatus().presence, SimulatedPedal::Presence::online);
}

TEST (SimulatedSetup, PortsOutlivingTheBusAreDead)
{
    auto bus = std::make_unique<pedal::VirtualMidiBus>();
    bus->addPedal (PedalConfig());

    RecordingCallback callback;
    auto input = bus->openInput (0, callback);
    auto output = bus->openOutput (0);
    input->start();
    bus.reset();

    output->sendMessageNow (pedal_test::probe());
    input.reset();
    EXPECT_EQ (callback.count(), 0u);
}

TEST (SimulatedSetup, ASecondPedalAnswersOnItsOwnPorts)
{
    SimulatedSetup setup (configFor ("second-pedal=normal,start-revision=1100"));
    auto ports = setup.makePorts();

    RecordingCallback callback;
    auto input = ports->openInput (1, callback);
    input->start();
    ports->openOutput (1)->sendMessageNow (pedal_test::revisionQuery());
    ASSERT_TRUE (callback.waitForCommand (midi::revisionQueryCommand));

    EXPECT_EQ (pedal_test::revisionIn (callback.received().front()), 1100);
    EXPECT_EQ (setup.getPedal (1).getStatus().queries, 1);
    EXPECT_EQ (setup.getPedal (0).getStatus().queries, 0);
    EXPECT_EQ (setup.getPedal (1).getStatus().mode, pedal::PedalMode::normal);
}

TEST (SimulatedSetup, ASecondPedalListedFirstIsStillTheSecond)
{
    SimulatedSetup setup (configFor ("second-pedal=normal,second-pedal-at=before,extra-devices-after=2"));
    auto ports = setup.makePorts();

    EXPECT_EQ (ports->getInputNames(), juce::StringArray ({"Verrano2", "Verrano2 Boot",
                                                           "USB MIDI Interface 1", "USB MIDI Interface 2"}));
    EXPECT_EQ (setup.getPedal (0).getStatus().mode, pedal::PedalMode::bootLoader);
    EXPECT_EQ (setup.getPedal (1).getStatus().mode, pedal::PedalMode::normal);
}
