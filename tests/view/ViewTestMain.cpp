// Entry of the window tests. JUCE installs its forgiving X error handlers only in a
// standalone application, and without them the first window put on the desktop is
// killed by an X error under Xvfb. Registering an application factory (never called
// here) makes this test program count as one; then the JUCE initialiser makes this
// thread the message thread, as in the other test programs.
#include <gmock/gmock.h>
#include <juce_gui_basics/juce_gui_basics.h>

namespace
{

class WindowTestApplication : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "updater view tests"; }
    const juce::String getApplicationVersion() override { return "1.0"; }
    void initialise (const juce::String&) override {}
    void shutdown() override {}
};

juce::JUCEApplicationBase* createWindowTestApplication()
{
    return new WindowTestApplication();
}

} // namespace

int main (int argc, char** argv)
{
    ::testing::InitGoogleMock (&argc, argv);
    juce::JUCEApplicationBase::createInstance = &createWindowTestApplication;
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
