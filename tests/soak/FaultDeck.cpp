#include "FaultDeck.h"

#include <algorithm>

namespace soak
{

namespace
{
juce::String pick (juce::Random& random, std::initializer_list<const char*> choices)
{
    const auto index = random.nextInt (static_cast<int> (choices.size()));
    return *(choices.begin() + index);
}

juce::String number (int value)
{
    return juce::String (value);
}

/** A random count of blocks, 1 to 3. */
juce::String someBlocks (juce::Random& random)
{
    // The first and the last block are the edges of a transfer: play them now and then.
    switch (random.nextInt (4))
    {
        case 0:
            return "0";
        case 1:
            return "489";
        default:
            return "random:" + number (1 + random.nextInt (3));
    }
}
} // namespace

//==============================================================================
std::vector<Fault> FaultDeck::catalogue()
{
    using R = juce::Random;
    using S = SoakSettings;

    return {
        {"good pedal", "", [] (R&, const S&) { return juce::String(); }},

        // The device probe.
        {"no acknowledgement", "ack", [] (R&, const S&) { return juce::String ("ack=none"); }},
        {"late acknowledgement", "ack",
         [] (R& r, const S& s)
         { return "ack=late:" + number (s.timing.probeWaitMs * 2 + r.nextInt (s.timing.probeWaitMs)); }},

        // The ports.
        {"port names differ", "names",
         [] (R& r, const S&) {
             return "names=" + pick (r, {"case", "suffix"});
         }},
        {"second pedal", "second-pedal",
         [] (R& r, const S&) {
             return "second-pedal=" + pick (r, {"boot", "normal"});
         }},
        {"silent devices", "extra-devices",
         [] (R& r, const S&) { return "extra-devices=" + number (1 + r.nextInt (3)); }},
        {"unopenable device", "unopenable-devices",
         [] (R& r, const S&) { return "unopenable-devices=" + number (1 + r.nextInt (2)); }},
        {"pedal port cannot be opened", "unopenable",
         [] (R& r, const S&) {
             return "unopenable=" + pick (r, {"input", "output", "both"});
         }},
        {"pedal not connected", "plugged", [] (R&, const S&) { return juce::String ("plugged=no"); }},
        {"pedal not in boot loader", "mode", [] (R&, const S&) { return juce::String ("mode=normal"); }},

        // Foreign traffic on the pedal's output.
        {"foreign traffic", "foreign",
         [] (R& r, const S&)
         {
             return "foreign=" +
                    pick (r, {"all", "maker+model", "clock+notes", "short+malformed", "malformed"}) +
                    ",foreign-rate=" + number (20 + r.nextInt (480)) +
                    ",foreign-burst=" + number (1 + r.nextInt (4));
         }},
        {"foreign burst", "foreign",
         [] (R& r, const S&)
         {
             return "foreign=all,foreign-rate=" + number (2 + r.nextInt (8)) +
                    ",foreign-burst=" + number (200 + r.nextInt (800));
         }},

        // Blocks in transit.
        {"blocks lost", "lose-block", [] (R& r, const S&) { return "lose-block=" + someBlocks (r); }},
        {"blocks duplicated", "duplicate-block",
         [] (R& r, const S&) { return "duplicate-block=" + someBlocks (r); }},
        {"blocks reordered", "reorder-block",
         [] (R& r, const S&) { return "reorder-block=" + someBlocks (r); }},
        {"block corrupted", "corrupt-block",
         [] (R& r, const S&) { return "corrupt-block=" + someBlocks (r); }},

        // The restart.
        {"restart too slow", "restart-ms",
         [] (R& r, const S& s)
         { return "restart-ms=" + number (s.reconnectBudgetMs() * 3 + 500 + r.nextInt (500)); }},
        {"no restart (unplugged)", "restart-ms",
         [] (R&, const S&) { return juce::String ("restart-ms=never"); }},

        // The revision query.
        {"no revision answer", "revision", [] (R&, const S&) { return juce::String ("revision=none"); }},
        {"late revision answer", "revision",
         [] (R& r, const S& s)
         { return "revision=late:" + number (s.revisionWindowMs() * 2 + r.nextInt (s.revisionWindowMs())); }},
        {"revision answer too short", "revision",
         [] (R&, const S&) { return juce::String ("revision=short"); }},
        {"two revision answers", "revision", [] (R&, const S&) { return juce::String ("revision=twice"); }},
        {"wrong revision", "revision",
         [] (R& r, const S&) {
             return "revision=wrong:" + pick (r, {"1187", "1221", "1223", "0", "-1"});
         }},
    };
}

//==============================================================================
FaultDeck::FaultDeck (juce::int64 seed)
    : faults (catalogue())
    , random (seed)
{
    for (size_t i = 0; i < faults.size(); ++i)
        order.push_back (i);
    position = order.size();
}

const Fault& FaultDeck::deal()
{
    if (position >= order.size())
    {
        // Fisher-Yates with the deck's own generator, so a seed replays the same runs.
        for (auto i = order.size() - 1; i > 0; --i)
            std::swap (order[i], order[static_cast<size_t> (random.nextInt (static_cast<int> (i + 1)))]);
        position = 0;
    }
    return faults[order[position++]];
}

FaultDeck::Draw FaultDeck::next (const SoakSettings& settings)
{
    Draw draw;
    const auto& first = deal();
    draw.names.add (first.name);
    draw.settings = first.settings (random, settings);

    // One run in four plays a second fault of another kind on top.
    if (first.key.isNotEmpty() && random.nextInt (4) == 0)
    {
        const auto& second = faults[static_cast<size_t> (random.nextInt (static_cast<int> (faults.size())))];

        if (second.key.isNotEmpty() && second.key != first.key)
        {
            draw.names.add (second.name);
            draw.settings += "," + second.settings (random, settings);
        }
    }

    return draw;
}

} // namespace soak
