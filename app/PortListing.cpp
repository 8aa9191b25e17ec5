#include "app/PortListing.h"

namespace app
{

namespace
{
juce::String numbered (const juce::StringArray& names)
{
    if (names.isEmpty())
        return "  (none)\n";

    juce::String text;
    for (int k = 0; k < names.size(); ++k)
        text << "  " << k << "  " << names[k] << "\n";
    return text;
}

bool marksBootLoader (const juce::String& name)
{
    // The same test that decides whether the window offers the update.
    return name.containsIgnoreCase ("boot");
}

juce::String describePair (const midi::SearchReport::Pair& pair, int probeWaitMs)
{
    juce::StringArray outputs;
    for (auto j : pair.outputs)
        outputs.add (juce::String (j));

    juce::String text;
    text << "  \"" << pair.name << "\"  input " << pair.input << ", output " << outputs.joinIntoString (", ")
         << ": ";

    if (!pair.probed)
        return text + "could not be opened (is another program using it?)\n";

    if (pair.answeredLate)
        return text + "answered outside the " + juce::String (probeWaitMs) + " ms wait (" +
               juce::String (pair.answerMs, 2) + " ms from the probe): a pedal, but too slow to update\n";

    if (!pair.answered)
        return text + "no answer within " + juce::String (probeWaitMs) + " ms\n";

    text << "answered in " << juce::String (pair.answerMs, 2) << " ms, "
         << (marksBootLoader (pair.name) ? "boot loader" : "normal operation (no \"boot\" in its name)")
         << ", ";

    if (pair.revision.has_value())
        text << "revision " << *pair.revision;
    else
        text << "no answer to the revision question";

    if (pair.answeredTwice)
        text << ", but answered one probe twice (an answer to an earlier one came late)";

    return text + "\n";
}
} // namespace

juce::String PortListing::describe (const midi::SearchReport& report, int probeWaitMs)
{
    juce::String text;
    text << "MIDI inputs:\n" << numbered (report.inputs) << "MIDI outputs:\n" << numbered (report.outputs);

    text << "Pairs probed (an input and the output of exactly its name):\n";
    if (report.pairs.empty())
        text << "  (none)\n";
    for (const auto& pair : report.pairs)
        text << describePair (pair, probeWaitMs);

    const auto answered = report.countPedals();
    const auto pedal = report.onlyPedal();
    if (answered == 0)
    {
        text << "No pedal answered. Connect the pedal by USB, quit other MIDI programs and put the\n"
                "pedal into its boot loader.\n";
    }
    else if (pedal.has_value())
    {
        const auto& name = report.pairs[*pedal].name;
        text << "One pedal answered: \"" << name << "\""
             << (marksBootLoader (name) ? ", ready for the update.\n"
                                        : ", not in its boot loader: no update is possible.\n");
    }
    else if (answered == 1)
    {
        text << "One pedal answered, but not in time or more than once: no update is possible. Unplug\n"
                "it, plug it in again and look again.\n";
    }
    else
    {
        text << answered << " pedals answered: connect only the one to update.\n";
    }

    return text;
}

int PortListing::exitCodeFor (const midi::SearchReport& report)
{
    const auto answered = report.countPedals();
    return report.onlyPedal().has_value() ? onePedal : answered > 1 ? severalPedals : noPedal;
}

} // namespace app
