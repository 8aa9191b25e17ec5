#include "bench/BareWindowProbe.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace bench
{

namespace
{
int secondsShown = 0;

class BareWindowApplication final : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "updater-bench bare window"; }
    const juce::String getApplicationVersion() override { return "1"; }
    bool moreThanOneInstanceAllowed() override { return true; }

    void initialise (const juce::String&) override
    {
        if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
        {
            setApplicationReturnValue (1);
            quit();
            return;
        }

        window = std::make_unique<juce::DocumentWindow> ("Firmware Updater", juce::Colour (0xFFEFF2F3),
                                                         juce::DocumentWindow::closeButton, true);
        window->setVisible (true);
        window->centreWithSize (650, 270);
        juce::Timer::callAfterDelay (secondsShown * 1000, [] { quit(); });
    }

    void shutdown() override { window.reset(); }
    void systemRequestedQuit() override { quit(); }

private:
    std::unique_ptr<juce::DocumentWindow> window;
};

juce::JUCEApplicationBase* createBareWindowApplication()
{
    return new BareWindowApplication();
}
} // namespace

int BareWindowProbe::run (int seconds)
{
    secondsShown = seconds;
    juce::JUCEApplicationBase::createInstance = &createBareWindowApplication;

    const char* argv[] = {"updater-bench"};
    return juce::JUCEApplicationBase::main (1, argv);
}

} // namespace bench
