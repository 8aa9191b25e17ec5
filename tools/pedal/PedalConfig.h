#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <set>

namespace pedal
{

/** The program a simulated pedal runs: its boot loader or its normal firmware. */
enum class PedalMode
{
    bootLoader,
    normal
};

//==============================================================================
/**
    A choice of firmware blocks (numbers 0 to 489) for a fault in transit: listed
    numbers, plus a count of further blocks drawn at random with the run's seed.
*/
struct BlockSelection
{
    std::set<int> numbers;
    int randomCount = 0;

    bool isEmpty() const { return numbers.empty() && randomCount == 0; }

    /** The chosen block numbers. `salt` keeps the random draws of different faults apart. */
    std::set<int> resolve (juce::int64 seed, int salt) const;
};

//==============================================================================
/**
    Everything a tester chooses for one run of the simulated pedal: how it starts
    and which faults of a real setup it plays.

    Settings text: comma-separated `key=value` pairs, applied from left to right
    (a later setting of a key replaces an earlier one; spaces around keys and
    values are dropped). Unknown keys and bad values are errors.

    @code
    plugged=yes|no                    no: the pedal is not connected, none of its ports exist (yes)
    mode=boot|normal                  program at power-up (boot)
    name=TEXT                         port name base (Verrano2); the boot loader adds " Boot"
    plug-in-ms=N                      connected N ms after the start (0: from the start)
    start-revision=N                  revision reported before any update (1187)
    restart-ms=N|never                length of the restart after an update (4000);
                                      never: the pedal stays unplugged
    ack=prompt|none|late:MS           answer to the device probe (prompt)
    revision=prompt|none|late:MS|short|twice|wrong:N
                                      answer to the revision query (prompt)
    names=same|case|suffix            the output port's name: like the input's, in upper
                                      case, or with " Out" appended (same)
    extra-devices=N                   silent devices listed before the pedal (0)
    unopenable-devices=N              devices listed before the pedal whose ports
                                      cannot be opened (0)
    unopenable=none|input|output|both which of the pedal's own ports refuse to open (none)
    extra-devices-after=N             silent devices listed after the pedals (0)
    second-pedal=none|boot|normal     another pedal of the same name (its revision and restart
                                      as the first's unless second.KEY says otherwise)
    second-pedal-at=before|after      where the second pedal is listed (after)
    second.KEY=VALUE                  a setting of the second pedal alone (second.start-revision=1222,
                                      second.ack=none, second.corrupt-block=5, ...)
    foreign=none|all|KIND[+KIND...]   unsolicited traffic on the pedal's output;
                                      KIND: maker, model, clock, notes, short, malformed
    foreign-rate=N                    rounds of foreign traffic per second (20)
    foreign-burst=N                   messages per round (1)
    lose-block=BLOCKS                 blocks lost in transit
    duplicate-block=BLOCKS            blocks that arrive twice
    reorder-block=BLOCKS              blocks that arrive after the message following them
    corrupt-block=BLOCKS              blocks with one bit flipped in transit
                                      BLOCKS: numbers or ranges of 0..489 joined by '+'
                                      (17+40-42), random:N, or none
    seed=N                            seed of the random block choices (1)
    @endcode

    Environment: PEDAL_SIM holds a settings text; PEDAL_SIM_MODE, PEDAL_SIM_NAME and
    PEDAL_SIM_REVISION then set mode, name and start-revision.
*/
struct PedalConfig
{
    enum class Answer
    {
        prompt,
        none,
        late
    };

    enum class RevisionAnswer
    {
        prompt,
        none,
        late,
        tooShort,
        twice,
        wrong
    };

    enum class NamePairing
    {
        same,
        upperCaseOutput,
        suffixedOutput
    };

    /** Kinds of foreign traffic, combined as bit flags in `foreignKinds`. */
    enum ForeignKind
    {
        foreignMaker = 1 << 0,     ///< SysEx of another manufacturer
        foreignModel = 1 << 1,     ///< SysEx of this manufacturer for another model byte
        foreignClock = 1 << 2,     ///< timing clock and active sensing
        foreignNotes = 1 << 3,     ///< note on and off
        foreignShort = 1 << 4,     ///< SysEx with fewer than five data bytes
        foreignMalformed = 1 << 5, ///< SysEx with the pedal's header but no or an unknown command
        foreignAll = (1 << 6) - 1
    };

    static constexpr juce::int32 factoryRevision = 1187;
    static constexpr int defaultRestartMs = 4000;
    static constexpr int numBlocks = 490;

    //==============================================================================
    bool plugged = true;
    int plugInMs = 0;
    PedalMode mode = PedalMode::bootLoader;
    juce::String name{"Verrano2"};
    juce::int32 startRevision = factoryRevision;
    int restartMs = defaultRestartMs;
    bool neverRestarts = false;

    Answer acknowledge = Answer::prompt;
    int acknowledgeDelayMs = 0;

    RevisionAnswer revisionAnswer = RevisionAnswer::prompt;
    int revisionDelayMs = 0;
    juce::int32 wrongRevision = 0;

    NamePairing names = NamePairing::same;
    int extraDevices = 0;
    int unopenableDevices = 0;
    bool inputUnopenable = false;
    bool outputUnopenable = false;
    int extraDevicesAfter = 0;
    std::optional<PedalMode> secondPedal;
    bool secondPedalFirst = false;

    /** The second pedal's own settings, as "key=value" entries applied in order. */
    juce::StringArray secondSettings;

    int foreignKinds = 0;
    int foreignRate = 20;
    int foreignBurst = 1;

    BlockSelection lostBlocks;
    BlockSelection duplicatedBlocks;
    BlockSelection reorderedBlocks;
    BlockSelection corruptedBlocks;
    juce::int64 seed = 1;

    //==============================================================================
    /** Applies a settings text on top of this configuration. On failure the
        configuration may hold the settings before the bad one. */
    juce::Result apply (const juce::String& settings);

    /** Applies one setting. */
    juce::Result set (const juce::String& key, const juce::String& value);

    /** Applies PEDAL_SIM, then PEDAL_SIM_MODE, PEDAL_SIM_NAME and PEDAL_SIM_REVISION. */
    juce::Result applyEnvironment();

    /** The second pedal's configuration: its mode, the first's name, revision and
        restart, then its own settings. Only meaningful when secondPedal is set. */
    PedalConfig secondPedalConfig() const;

    /** The name the pedal's ports carry in the given program ("Verrano2 Boot", "Verrano2"). */
    juce::String portName (PedalMode inMode) const;

    /** The settings grammar, as printed by pedal-sim --help. */
    static juce::String describeSettings();
};

} // namespace pedal
