#include "bench/StartupProbe.h"

#include "app/Application.h"
#include "bench/Clock.h"
#include "midi/Timing.h"
#include "tools/pedal/SimulatedSetup.h"

#include <atomic>
#include <functional>

namespace bench
{

namespace
{
/** When the transport last sent something: during the start-up search, the device
    probe of the pair it tries, the pedal's being the last. */
std::atomic<double> lastSendMs{0.0};

/** The simulated ports, with the time of every send noted. */
class SendStampingPorts final : public midi::PortLayer
{
public:
    explicit SendStampingPorts (std::unique_ptr<midi::PortLayer> portsToWrap)
        : ports (std::move (portsToWrap))
    {
    }

    juce::StringArray getInputNames() override { return ports->getInputNames(); }
    juce::StringArray getOutputNames() override { return ports->getOutputNames(); }

    std::unique_ptr<midi::InputPort> openInput (int index, juce::MidiInputCallback& callback) override
    {
        return ports->openInput (index, callback);
    }

    std::unique_ptr<midi::OutputPort> openOutput (int index) override
    {
        auto port = ports->openOutput (index);
        if (port == nullptr)
            return nullptr;
        return std::make_unique<StampingOutput> (std::move (port));
    }

private:
    class StampingOutput final : public midi::OutputPort
    {
    public:
        explicit StampingOutput (std::unique_ptr<midi::OutputPort> portToWrap)
            : port (std::move (portToWrap))
        {
        }

        void sendMessageNow (const juce::MidiMessage& message) override
        {
            lastSendMs = Clock::nowMs();
            port->sendMessageNow (message);
        }

    private:
        std::unique_ptr<midi::OutputPort> port;
    };

    std::unique_ptr<midi::PortLayer> ports;
};

/** An invisible component laid over the device line: it is painted whenever that line
    is, so its paint calls say when the line reached the screen. */
class PaintMarker final : public juce::Component
{
public:
    explicit PaintMarker (const juce::Label& deviceLabelToWatch)
        : deviceLabel (deviceLabelToWatch)
    {
        setOpaque (false);
        setInterceptsMouseClicks (false, false);
    }

    void paint (juce::Graphics&) override
    {
        const auto now = Clock::nowMs();

        if (std::equal_to<double>() (firstPaintMs, 0.0))
            firstPaintMs = now;

        if (std::equal_to<double>() (deviceNamedPaintMs, 0.0) && deviceLabel.getText() != "Device: ")
            deviceNamedPaintMs = now;
    }

    double firstPaintMs = 0.0;
    double deviceNamedPaintMs = 0.0; ///< first paint that showed a name on the device line

private:
    const juce::Label& deviceLabel;
};

/** The application with its timings noted; the window is closed once the device line is painted. */
class ProbedApplication final : public Application, private juce::Timer
{
public:
    ProbedApplication (PortLayerFactory ports, juce::File file)
        : Application (app::ExecutableBuild{std::move (ports), {}, {}})
        , timesFile (std::move (file))
    {
    }

    void initialise (const juce::String& commandLine) override
    {
        // The first message delivered inside the application's loop: by then the window
        // has been built and shown, and nothing has been painted yet.
        juce::MessageManager::callAsync ([this] { loopStarted(); });
        Application::initialise (commandLine);
    }

    void shutdown() override
    {
        stopTimer();
        marker.reset();

        juce::String text;
        text << "window-shown " << juce::String (windowShownMs, 3) << "\n"
             << "window-painted " << juce::String (windowPaintedMs, 3) << "\n"
             << "search-ended " << juce::String (searchEndedMs, 3) << "\n"
             << "device-named " << juce::String (deviceNamedMs, 3) << "\n"
             << "device-painted " << juce::String (devicePaintedMs, 3) << "\n"
             << "device-text " << deviceText << "\n";
        timesFile.replaceWithText (text);

        Application::shutdown();
    }

private:
    void loopStarted()
    {
        auto* window = getMainWindow();
        if (window == nullptr)
            return;

        if (window->isShowing())
            windowShownMs = Clock::nowMs();

        if (auto* content = window->getContentComponent())
        {
            const auto& deviceLabel = window->getUpdater().getDeviceLabel();
            marker = std::make_unique<PaintMarker> (deviceLabel);
            marker->setBounds (deviceLabel.getBounds().withSize (4, 4));
            content->addAndMakeVisible (*marker);
        }

        startedMs = Clock::nowMs();
        startTimer (1);
    }

    void timerCallback() override
    {
        auto* window = getMainWindow();
        if (window == nullptr || marker == nullptr)
            return;

        if (std::equal_to<double>() (windowShownMs, 0.0) && window->isShowing())
            windowShownMs = Clock::nowMs();

        if (std::equal_to<double>() (windowPaintedMs, 0.0))
            windowPaintedMs = marker->firstPaintMs;

        const auto text = window->getUpdater().getDeviceText();
        if (std::equal_to<double>() (deviceNamedMs, 0.0) && text != "Device: ")
        {
            deviceNamedMs = Clock::nowMs();
            deviceText = text;
            // Every pair is probed at once; the wait after the last probe, and the second
            // one of a search in which the pedal answered, end the search.
            searchEndedMs = lastSendMs.load() + 2 * midi::Timing().probeWaitMs;
        }

        devicePaintedMs = marker->deviceNamedPaintMs;

        // Done, or given up: a search over 33 pairs that finds nothing still ends well within this.
        if (devicePaintedMs > 0.0 || Clock::nowMs() - startedMs > 30000.0)
        {
            stopTimer();
            window->closeButtonPressed();
        }
    }

    const juce::File timesFile;
    std::unique_ptr<PaintMarker> marker;
    double startedMs = 0.0;
    double windowShownMs = 0.0, windowPaintedMs = 0.0, searchEndedMs = 0.0, deviceNamedMs = 0.0,
           devicePaintedMs = 0.0;
    juce::String deviceText;
};

juce::File probeTimesFile;
int probeSilentPairs = 0;

juce::JUCEApplicationBase* createProbedApplication()
{
    pedal::PedalConfig config;
    config.extraDevices = probeSilentPairs;
    config.extraDevicesAfter = probeSilentPairs;
    auto setup = std::make_shared<pedal::SimulatedSetup> (config);
    return new ProbedApplication (
        [setup] { return std::make_unique<SendStampingPorts> (setup->makePorts()); }, probeTimesFile);
}
} // namespace

int StartupProbe::run (const juce::File& timesFile, int silentPairs)
{
    probeTimesFile = timesFile;
    probeSilentPairs = silentPairs;
    juce::JUCEApplicationBase::createInstance = &createProbedApplication;

    // No parameters: an interactive run, the one a user starts.
    const char* argv[] = {"firmware-updater"};
    return juce::JUCEApplicationBase::main (1, argv);
}

} // namespace bench
