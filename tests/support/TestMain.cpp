// Test entry: the JUCE initialiser makes this thread the message thread before
// any test runs, so components can be built and their messages pumped here.
#include <gmock/gmock.h>
#include <juce_events/juce_events.h>

int main (int argc, char** argv)
{
    ::testing::InitGoogleMock (&argc, argv);
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
