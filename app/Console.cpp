#include "app/Console.h"

#include <iostream>

namespace app
{

void Console::out (const juce::String& text)
{
    std::cout << text.toStdString() << std::flush;
}

void Console::error (const juce::String& line)
{
    std::cerr << (programName() + ": " + line).toStdString() << std::endl;
}

juce::String Console::programName()
{
    return juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFileNameWithoutExtension();
}

} // namespace app
