#pragma once

#include "tools/pedal/PedalConfig.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <optional>
#include <vector>

namespace pedal_test
{

/** The embedded image cut into its 492 packages, F0 to F7 each. */
std::vector<juce::MidiMessage> firmwarePackages();

/** The updater's device probe and revision query for the Verrano2. */
juce::MidiMessage probe();
juce::MidiMessage revisionQuery();

/** A configuration from a settings text; a text the parser refuses fails the test. */
pedal::PedalConfig configFor (const juce::String& settings);

/** The revision a reply carries, read the way the updater reads it. */
std::optional<juce::int32> revisionIn (const juce::MidiMessage& reply);

} // namespace pedal_test
