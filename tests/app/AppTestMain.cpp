// Entry of the whole-application tests. Unlike the other test programs it creates no
// JUCE initialiser: the test itself runs the framework's application runner, which
// sets JUCE up and tears it down. One run per process, since the runner's quit is final.
#include <gmock/gmock.h>

int main (int argc, char** argv)
{
    ::testing::InitGoogleMock (&argc, argv);
    return RUN_ALL_TESTS();
}
