#include "tools/pedal-sim/WireRecording.h"

namespace pedal
{

WireRecording::WireRecording (const juce::File& file)
{
    if (!file.deleteFile())
        return;

    auto newStream = std::make_unique<juce::FileOutputStream> (file);
    if (newStream->openedOk())
        stream = std::move (newStream);
}

void WireRecording::add (const juce::MidiMessage& message)
{
    if (stream == nullptr)
        return;

    stream->write (message.getRawData(), static_cast<size_t> (message.getRawDataSize()));
    stream->flush();
}

} // namespace pedal
