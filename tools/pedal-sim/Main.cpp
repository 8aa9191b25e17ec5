// pedal-sim: the simulated Verrano2 behind MIDI ports of the operating system
// (virtual ports, an existing port pair, or a USB MIDI gadget), for trying the
// updater (or anything else) against a pedal that plays chosen faults.

#include "tools/pedal-sim/ExitAfterUpdate.h"
#include "tools/pedal-sim/SystemPedalPorts.h"
#include "tools/pedal-sim/UsbGadget.h"
#include "tools/pedal-sim/WireRecording.h"
#include "tools/pedal/OutsideText.h"
#include "tools/pedal/PedalConfig.h"
#include "tools/pedal/SimulatedPedal.h"

#include <atomic>
#include <csignal>
#include <ctime>
#include <iostream>
#include <pthread.h>

namespace
{

enum ExitCode
{
    exitOk = 0,
    exitCheckFailed = 1,
    exitUsage = 2,
    exitNoMidi = 3
};

const char* const usage =
    "Usage: pedal-sim [options]\n"
    "Shows a simulated Verrano2 pedal as a MIDI input and output port: virtual ports\n"
    "by default, an existing port pair, or a USB MIDI device.\n"
    "\n"
    "Options (applied after the environment, left to right):\n"
    "  --help                 this text\n"
    "  --config SETTINGS      pedal settings, as below\n"
    "  --mode boot|normal     same as the setting mode=\n"
    "  --name NAME            same as the setting name=\n"
    "  --revision N           same as the setting start-revision=\n"
    "  --report FILE          write the pedal's state (key=value lines) to FILE on every\n"
    "                         change and at exit\n"
    "  --record FILE          write every message that reaches the pedal's input to FILE,\n"
    "                         raw and in arrival order (an update reads like a .syx file)\n"
    "  --exit-after-update    exit once the pedal has checked an image, restarted and\n"
    "                         answered a revision query (or stayed 30 s unasked, or\n"
    "                         stays unplugged): 0 if the image checked out, 1 if not\n"
    "  --attach NAME          use the existing input and output port NAME instead of\n"
    "                         creating virtual ports (closed while the pedal restarts)\n"
    "  --usb-gadget           be a USB MIDI device (Linux, root, configfs and a USB\n"
    "                         device controller such as dummy_hcd): the gadget is named\n"
    "                         after the pedal's port name, unplugged during a restart\n"
    "                         and plugged in again under the new name; attaches to the\n"
    "                         gadget's own ports, \"f_midi\", unless --attach names others\n"
    "SIGINT or SIGTERM stops it (exit 0). Bad options or settings exit 2; ports that\n"
    "cannot be made (no ALSA sequencer, no USB gadget, no pair to attach to) exit 3.\n"
    "\n";

struct Options
{
    pedal::PedalConfig config;
    juce::File reportFile;
    juce::File recordFile;
    juce::String attachTo;
    bool usbGadget = false;
    bool exitAfterUpdate = false;
    bool showHelp = false;
};

/** Reads the command line on top of the environment's settings. */
juce::Result parseCommandLine (int argc, char* argv[], Options& options)
{
    for (int i = 1; i < argc; ++i)
        if (!pedal::textFromOutside (argv[i]))
            return juce::Result::fail ("argument " + juce::String (i) + " is not valid UTF-8 text");

    for (int i = 1; i < argc; ++i)
    {
        const juce::String argument{juce::CharPointer_UTF8 (argv[i])};
        auto option = argument.upToFirstOccurrenceOf ("=", false, false);

        if (option == "--help" || option == "-h")
        {
            options.showHelp = true;
            continue;
        }
        if (option == "--exit-after-update")
        {
            options.exitAfterUpdate = true;
            continue;
        }
        if (option == "--usb-gadget")
        {
            options.usbGadget = true;
            continue;
        }

        const juce::StringArray withValue{"--config", "--mode",   "--name",  "--revision",
                                          "--report", "--record", "--attach"};
        if (!withValue.contains (option))
            return juce::Result::fail ("unknown option " + argument);

        juce::String value;
        if (argument.containsChar ('='))
            value = argument.fromFirstOccurrenceOf ("=", false, false);
        else if (i + 1 < argc)
            value = juce::String (juce::CharPointer_UTF8 (argv[++i]));
        else
            return juce::Result::fail (option + " needs a value");

        auto result = juce::Result::ok();
        if (option == "--config")
            result = options.config.apply (value);
        else if (option == "--mode")
            result = options.config.set ("mode", value);
        else if (option == "--name")
            result = options.config.set ("name", value);
        else if (option == "--revision")
            result = options.config.set ("start-revision", value);
        else if (value.isEmpty())
            result = juce::Result::fail (option + " needs a " + (option == "--attach" ? "port" : "file") +
                                         " name");
        else if (option == "--attach")
            options.attachTo = value;
        else if (option == "--report")
            options.reportFile = juce::File::getCurrentWorkingDirectory().getChildFile (value);
        else
            options.recordFile = juce::File::getCurrentWorkingDirectory().getChildFile (value);

        if (result.failed())
            return result;
    }
    return juce::Result::ok();
}

void writeReport (const Options& options, const pedal::SimulatedPedal& pedal)
{
    if (options.reportFile != juce::File() &&
        !options.reportFile.replaceWithText (pedal.report(), false, false, "\n"))
        std::cerr << "pedal-sim: cannot write " << options.reportFile.getFullPathName() << std::endl;
}

} // namespace

int main (int argc, char* argv[])
{
    // Stop signals are blocked in every thread (the threads started later inherit
    // the mask) and taken only by the main loop below, so they end it cleanly.
    sigset_t stopSignals;
    sigemptyset (&stopSignals);
    sigaddset (&stopSignals, SIGINT);
    sigaddset (&stopSignals, SIGTERM);
    pthread_sigmask (SIG_BLOCK, &stopSignals, nullptr);

    Options options;
    auto result = options.config.applyEnvironment();
    if (result.wasOk())
        result = parseCommandLine (argc, argv, options);

    if (options.showHelp)
    {
        std::cout << usage << pedal::PedalConfig::describeSettings();
        return exitOk;
    }

    if (result.failed())
    {
        std::cerr << "pedal-sim: " << result.getErrorMessage() << " (see pedal-sim --help)" << std::endl;
        return exitUsage;
    }

    // Declared before the ports, so that it outlives every callback that records.
    std::unique_ptr<pedal::WireRecording> recording;
    if (options.recordFile != juce::File())
    {
        recording = std::make_unique<pedal::WireRecording> (options.recordFile);
        if (!recording->isOpen())
        {
            std::cerr << "pedal-sim: cannot write " << options.recordFile.getFullPathName() << std::endl;
            return exitUsage;
        }
    }

    // Declared before the ports too: they unplug it when they close, and then it goes.
    std::unique_ptr<pedal::UsbGadget> gadget;
    if (options.usbGadget)
        gadget = std::make_unique<pedal::UsbGadget> (pedal::UsbGadget::Settings{});

    pedal::SystemPedalPorts ports;
    pedal::SimulatedPedal pedal (options.config, ports);
    ports.setReceiver (&pedal);
    ports.setRecording (recording.get());
    ports.setUsbGadget (gadget.get());
    if (options.attachTo.isNotEmpty() || gadget != nullptr)
        ports.attachTo (options.attachTo.isNotEmpty() ? options.attachTo : juce::String ("f_midi"));

    std::atomic<bool> changed{true};
    pedal.setStateChangeCallback ([&changed] { changed = true; });
    pedal.start();

    if (ports.hasFailed())
    {
        pedal.stop();
        ports.close();
        std::cerr << "pedal-sim: " << ports.getFailure() << std::endl;
        return exitNoMidi;
    }

    std::cout << "pedal-sim: \"" << options.config.portName (options.config.mode) << "\" is up"
              << (gadget != nullptr ? " as a USB MIDI device" : "") << "; stop with Ctrl+C" << std::endl;

    int exitCode = exitOk;
    pedal::ExitAfterUpdate exitAfterUpdate;
    for (;;)
    {
        const timespec pause{0, 50 * 1000 * 1000};
        if (sigtimedwait (&stopSignals, nullptr, &pause) > 0)
            break;

        if (changed.exchange (false))
            writeReport (options, pedal);

        // Ports that could not come back after a restart leave an updater nothing to find.
        if (ports.hasFailed())
        {
            std::cerr << "pedal-sim: " << ports.getFailure() << std::endl;
            exitCode = exitNoMidi;
            break;
        }

        if (options.exitAfterUpdate)
        {
            const auto status = pedal.getStatus();
            if (exitAfterUpdate.isDue (status, juce::Time::getMillisecondCounterHiRes()))
            {
                exitCode =
                    status.check == pedal::SimulatedPedal::CheckOutcome::passed ? exitOk : exitCheckFailed;
                break;
            }
        }
    }

    pedal.stop();
    ports.close();
    writeReport (options, pedal);
    std::cout << pedal.report();
    return exitCode;
}
