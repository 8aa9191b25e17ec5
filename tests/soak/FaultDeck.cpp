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

    // Harmless faults are those after which the pedal, as documented, still answers
    // every probe within the probe wait, takes all 490 blocks in order exactly once,
    // is back within the reconnection attempts and answers the revision query with
    // its new revision inside the reply window. Whether a run is harmless is decided
    // here, from the faults alone, never from what the updater did.
    constexpr bool harmless = true, mayBreak = false;

    return {
        {"good pedal", "", harmless, [] (R&, const S&) { return juce::String(); }},

        // The device probe.
        {"no acknowledgement", "ack", mayBreak, [] (R&, const S&) { return juce::String ("ack=none"); }},
        // Well past the probe wait, and well inside the second wait a search listens
        // when another pair answered: late, yet heard as a pedal.
        {"late acknowledgement", "ack", mayBreak,
         [] (R& r, const S& s)
         {
             const auto wait = s.timing.probeWaitMs;
             return "ack=late:" + number (wait + wait / 5 + r.nextInt (wait * 3 / 10));
         }},
        // At most a quarter of the probe wait: the pair still answers in time.
        {"acknowledgement late but in time", "ack", harmless,
         [] (R& r, const S& s)
         {
             const auto quarter = s.timing.probeWaitMs / 4;
             return "ack=late:" + number (1 + r.nextInt (quarter));
         }},

        // The ports. A pair that is never tried is no pedal; with a second pedal of the
        // same name connected, neither gets the image.
        {"port names differ", "names", mayBreak,
         [] (R& r, const S&) {
             return "names=" + pick (r, {"case", "suffix"});
         }},
        {"second pedal", "second-pedal", mayBreak,
         [] (R& r, const S&) {
             return "second-pedal=" + pick (r, {"boot", "normal"});
         }},
        // Silent devices cost each search a probe wait apiece, far less than the
        // reconnection attempts leave; devices that cannot be opened are skipped.
        {"silent devices", "extra-devices", harmless,
         [] (R& r, const S&) { return "extra-devices=" + number (1 + r.nextInt (3)); }},
        {"unopenable device", "unopenable-devices", harmless,
         [] (R& r, const S&) { return "unopenable-devices=" + number (1 + r.nextInt (2)); }},
        {"pedal port cannot be opened", "unopenable", mayBreak,
         [] (R& r, const S&) {
             return "unopenable=" + pick (r, {"input", "output", "both"});
         }},
        {"pedal not connected", "plugged", mayBreak,
         [] (R&, const S&) { return juce::String ("plugged=no"); }},
        {"pedal not in boot loader", "mode", mayBreak,
         [] (R&, const S&) { return juce::String ("mode=normal"); }},

        // Foreign traffic on the pedal's output: none of it carries the pedal's header
        // with an acknowledgement or a revision reply, so none of it is an answer.
        {"foreign traffic", "foreign", harmless,
         [] (R& r, const S&)
         {
             return "foreign=" +
                    pick (r, {"all", "maker+model", "clock+notes", "short+malformed", "malformed"}) +
                    ",foreign-rate=" + number (20 + r.nextInt (480)) +
                    ",foreign-burst=" + number (1 + r.nextInt (4));
         }},
        {"foreign burst", "foreign", harmless,
         [] (R& r, const S&)
         {
             return "foreign=all,foreign-rate=" + number (2 + r.nextInt (8)) +
                    ",foreign-burst=" + number (200 + r.nextInt (800));
         }},

        // Blocks in transit: the boot loader's check fails on a missing, doubled,
        // misplaced or changed block.
        {"blocks lost", "lose-block", mayBreak,
         [] (R& r, const S&) { return "lose-block=" + someBlocks (r); }},
        {"blocks duplicated", "duplicate-block", mayBreak,
         [] (R& r, const S&) { return "duplicate-block=" + someBlocks (r); }},
        {"blocks reordered", "reorder-block", mayBreak,
         [] (R& r, const S&) { return "reorder-block=" + someBlocks (r); }},
        {"block corrupted", "corrupt-block", mayBreak,
         [] (R& r, const S&) { return "corrupt-block=" + someBlocks (r); }},

        // The restart.
        {"restart too slow", "restart-ms", mayBreak,
         [] (R& r, const S& s)
         { return "restart-ms=" + number (s.reconnectBudgetMs() * 3 + 500 + r.nextInt (500)); }},
        {"no restart (unplugged)", "restart-ms", mayBreak,
         [] (R&, const S&) { return juce::String ("restart-ms=never"); }},
        // One to three reconnection pauses (2.5 to 7.5 s at the real pacing, as slow as
        // a real pedal gets): found by the fourth of eight attempts at the latest.
        {"slow restart in time", "restart-ms", harmless,
         [] (R& r, const S& s)
         {
             const auto pause = s.pacing.reconnectPauseMs;
             return "restart-ms=" + number (pause + r.nextInt (2 * pause));
         }},

        // The revision query.
        {"no revision answer", "revision", mayBreak,
         [] (R&, const S&) { return juce::String ("revision=none"); }},
        {"late revision answer", "revision", mayBreak,
         [] (R& r, const S& s)
         { return "revision=late:" + number (s.revisionWindowMs() * 2 + r.nextInt (s.revisionWindowMs())); }},
        // At most a quarter of the reply window.
        {"revision answer late but in time", "revision", harmless,
         [] (R& r, const S& s)
         {
             const auto quarter = s.revisionWindowMs() / 4;
             return "revision=late:" + number (1 + r.nextInt (quarter));
         }},
        {"revision answer too short", "revision", mayBreak,
         [] (R&, const S&) { return juce::String ("revision=short"); }},
        // The first answer is the reply; the second changes nothing.
        {"two revision answers", "revision", harmless,
         [] (R&, const S&) { return juce::String ("revision=twice"); }},
        {"wrong revision", "revision", mayBreak,
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
    draw.harmless = first.harmless;

    // One run in four plays a second fault of another kind on top.
    if (first.key.isNotEmpty() && random.nextInt (4) == 0)
    {
        const auto& second = faults[static_cast<size_t> (random.nextInt (static_cast<int> (faults.size())))];

        if (second.key.isNotEmpty() && second.key != first.key)
        {
            draw.names.add (second.name);
            draw.settings += "," + second.settings (random, settings);
            draw.harmless = draw.harmless && second.harmless;
        }
    }

    return draw;
}

} // namespace soak
