#include "app/PortLayerFactory.h"

#include "tools/pedal/SimulatedSetup.h"

#include <cstdlib>
#include <iostream>

namespace app
{

namespace
{
/**
    The demo build's ports: a simulated pedal inside the process, configured from the
    environment (PEDAL_SIM and friends). When PEDAL_SIM_REPORT names a file, the
    pedal's final state is written there as the ports are released at exit, so that
    scripts can check what the pedal received.
*/
class DemoPorts final : public midi::PortLayer
{
public:
    explicit DemoPorts (const pedal::PedalConfig& config)
        : setup (config)
        , ports (setup.makePorts())
    {
    }

    ~DemoPorts() override
    {
        const auto reportFile = juce::SystemStats::getEnvironmentVariable ("PEDAL_SIM_REPORT", {});
        if (reportFile.isEmpty())
            return;

        // A second pedal's lines follow the first's, each key marked "second.".
        auto text = setup.getPedal().report();
        if (setup.getNumPedals() > 1)
            for (const auto& line : juce::StringArray::fromLines (setup.getPedal (1).report().trimEnd()))
                text << "second." << line << "\n";

        juce::File (reportFile).replaceWithText (text, false, false, "\n");
    }

    juce::StringArray getInputNames() override { return ports->getInputNames(); }
    juce::StringArray getOutputNames() override { return ports->getOutputNames(); }

    std::unique_ptr<midi::InputPort> openInput (int index, juce::MidiInputCallback& callback) override
    {
        return ports->openInput (index, callback);
    }

    std::unique_ptr<midi::OutputPort> openOutput (int index) override { return ports->openOutput (index); }

private:
    pedal::SimulatedSetup setup;
    std::unique_ptr<midi::PortLayer> ports;
};
} // namespace

std::unique_ptr<midi::PortLayer> createPortLayer()
{
    pedal::PedalConfig config;
    const auto result = config.applyEnvironment();

    // A mistyped fault must not quietly turn into a good pedal.
    if (result.failed())
    {
        std::cerr << "firmware-updater-demo: PEDAL_SIM: " << result.getErrorMessage() << std::endl;
        std::exit (2);
    }

    return std::make_unique<DemoPorts> (config);
}

} // namespace app
