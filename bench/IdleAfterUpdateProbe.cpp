#include "bench/IdleAfterUpdateProbe.h"

#include "app/Application.h"
#include "bench/TransferBench.h"
#include "tools/pedal/SimulatedSetup.h"

namespace bench
{

namespace
{
int idleMs = 0;

/** The application with the end of its unattended run put off: the controller's quit
    request at the result starts the idle span, and the run ends after it. */
class LingeringApplication final : public Application
{
public:
    using Application::Application;

    void systemRequestedQuit() override
    {
        // The result posts more than one close; only the first starts the span.
        if (lingering)
            return;

        lingering = true;
        juce::Timer::callAfterDelay (idleMs, [] { quit(); });
    }

private:
    bool lingering = false;
};

juce::JUCEApplicationBase* createLingeringApplication()
{
    pedal::PedalConfig config;
    config.apply (TransferBench::pedalSettings);
    auto setup = std::make_shared<pedal::SimulatedSetup> (config);
    return new LingeringApplication (app::ExecutableBuild{[setup] { return setup->makePorts(); }, {}, {}});
}
} // namespace

int IdleAfterUpdateProbe::run (int idleSeconds)
{
    idleMs = idleSeconds * 1000;
    juce::JUCEApplicationBase::createInstance = &createLingeringApplication;

    const char* argv[] = {"firmware-updater", "--autoupdate"};
    return juce::JUCEApplicationBase::main (2, argv);
}

} // namespace bench
