#include "tools/pedal/PedalConfig.h"

#include "tools/pedal/OutsideText.h"

#include <cstdlib>
#include <limits>

namespace pedal
{

namespace
{

constexpr juce::int64 maxDelayMs = 3600 * 1000;

/** A whole decimal number within [low, high]; nothing for anything else ("12x", "", "1e3"). */
std::optional<juce::int64> parseInteger (const juce::String& text, juce::int64 low, juce::int64 high)
{
    auto digits = text.startsWithChar ('-') ? text.substring (1) : text;

    if (digits.isEmpty() || digits.length() > 12 || !digits.containsOnly ("0123456789"))
        return std::nullopt;

    const auto value = text.getLargeIntValue();
    if (value < low || value > high)
        return std::nullopt;

    return value;
}

juce::Result badValue (const juce::String& key, const juce::String& value, const juce::String& expected)
{
    return juce::Result::fail ("pedal setting " + key + "=" + value + ": expected " + expected);
}

/** "late:MS" gives MS; nothing when the text is not of that form. */
std::optional<int> parseLate (const juce::String& value)
{
    if (!value.startsWith ("late:"))
        return std::nullopt;

    if (auto ms = parseInteger (value.fromFirstOccurrenceOf (":", false, false), 0, maxDelayMs))
        return static_cast<int> (*ms);

    return std::nullopt;
}

std::optional<BlockSelection> parseBlocks (const juce::String& value)
{
    BlockSelection selection;

    if (value == "none")
        return selection;

    if (value.startsWith ("random:"))
    {
        auto count =
            parseInteger (value.fromFirstOccurrenceOf (":", false, false), 1, PedalConfig::numBlocks);
        if (!count)
            return std::nullopt;

        selection.randomCount = static_cast<int> (*count);
        return selection;
    }

    auto items = juce::StringArray::fromTokens (value, "+", {});
    if (items.isEmpty())
        return std::nullopt;

    for (auto& item : items)
    {
        const auto isRange = item.indexOfChar (1, '-') > 0;
        const auto first = parseInteger (isRange ? item.upToFirstOccurrenceOf ("-", false, false) : item, 0,
                                         PedalConfig::numBlocks - 1);
        const auto last = isRange ? parseInteger (item.fromFirstOccurrenceOf ("-", false, false), 0,
                                                  PedalConfig::numBlocks - 1)
                                  : first;

        if (!first || !last || *last < *first)
            return std::nullopt;

        for (auto block = *first; block <= *last; ++block)
            selection.numbers.insert (static_cast<int> (block));
    }
    return selection;
}

std::optional<int> parseForeignKinds (const juce::String& value)
{
    if (value == "none")
        return 0;
    if (value == "all")
        return static_cast<int> (PedalConfig::foreignAll);

    const std::pair<const char*, int> kinds[] = {
        {"maker", PedalConfig::foreignMaker}, {"model", PedalConfig::foreignModel},
        {"clock", PedalConfig::foreignClock}, {"notes", PedalConfig::foreignNotes},
        {"short", PedalConfig::foreignShort}, {"malformed", PedalConfig::foreignMalformed}};

    int result = 0;
    for (auto& item : juce::StringArray::fromTokens (value, "+", {}))
    {
        int flag = 0;
        for (auto& kind : kinds)
            if (item == kind.first)
                flag = kind.second;

        if (flag == 0)
            return std::nullopt;

        result |= flag;
    }
    return result == 0 ? std::nullopt : std::optional<int> (result);
}

std::optional<PedalMode> parseMode (const juce::String& value)
{
    if (value == "boot")
        return PedalMode::bootLoader;
    if (value == "normal")
        return PedalMode::normal;
    return std::nullopt;
}

} // namespace

//==============================================================================
std::set<int> BlockSelection::resolve (juce::int64 seed, int salt) const
{
    auto chosen = numbers;
    juce::Random random (seed * 7919 + salt);

    for (int drawn = 0; drawn < randomCount && static_cast<int> (chosen.size()) < PedalConfig::numBlocks;)
        if (chosen.insert (random.nextInt (PedalConfig::numBlocks)).second)
            ++drawn;

    return chosen;
}

//==============================================================================
juce::Result PedalConfig::apply (const juce::String& settings)
{
    for (auto& entry : juce::StringArray::fromTokens (settings, ",", {}))
    {
        const auto trimmed = entry.trim();
        if (trimmed.isEmpty())
            continue;

        if (!trimmed.containsChar ('='))
            return juce::Result::fail ("pedal setting \"" + trimmed + "\": expected key=value");

        auto result = set (trimmed.upToFirstOccurrenceOf ("=", false, false).trim(),
                           trimmed.fromFirstOccurrenceOf ("=", false, false).trim());
        if (result.failed())
            return result;
    }
    return juce::Result::ok();
}

juce::Result PedalConfig::set (const juce::String& key, const juce::String& value)
{
    if (key == "mode")
    {
        auto parsed = parseMode (value);
        if (!parsed)
            return badValue (key, value, "boot or normal");
        mode = *parsed;
    }
    else if (key == "name")
    {
        if (value.isEmpty())
            return badValue (key, value, "a port name");
        name = value;
    }
    else if (key == "plugged")
    {
        if (value != "yes" && value != "no")
            return badValue (key, value, "yes or no");
        plugged = value == "yes";
    }
    else if (key == "plug-in-ms")
    {
        auto parsed = parseInteger (value, 0, 600000);
        if (!parsed)
            return badValue (key, value, "milliseconds from 0 to 600000");
        plugInMs = static_cast<int> (*parsed);
    }
    else if (key == "start-revision")
    {
        auto parsed = parseInteger (value, std::numeric_limits<juce::int32>::min(),
                                    std::numeric_limits<juce::int32>::max());
        if (!parsed)
            return badValue (key, value, "a 32-bit revision number");
        startRevision = static_cast<juce::int32> (*parsed);
    }
    else if (key == "restart-ms")
    {
        if (value == "never")
        {
            neverRestarts = true;
        }
        else if (auto parsed = parseInteger (value, 0, maxDelayMs))
        {
            neverRestarts = false;
            restartMs = static_cast<int> (*parsed);
        }
        else
        {
            return badValue (key, value, "milliseconds or never");
        }
    }
    else if (key == "ack")
    {
        if (value == "prompt" || value == "none")
        {
            acknowledge = value == "prompt" ? Answer::prompt : Answer::none;
            acknowledgeDelayMs = 0;
        }
        else if (auto delay = parseLate (value))
        {
            acknowledge = Answer::late;
            acknowledgeDelayMs = *delay;
        }
        else
        {
            return badValue (key, value, "prompt, none or late:MS");
        }
    }
    else if (key == "revision")
    {
        revisionDelayMs = 0;

        if (value == "prompt")
            revisionAnswer = RevisionAnswer::prompt;
        else if (value == "none")
            revisionAnswer = RevisionAnswer::none;
        else if (value == "short")
            revisionAnswer = RevisionAnswer::tooShort;
        else if (value == "twice")
            revisionAnswer = RevisionAnswer::twice;
        else if (auto delay = parseLate (value))
        {
            revisionAnswer = RevisionAnswer::late;
            revisionDelayMs = *delay;
        }
        else if (auto wrong = value.startsWith ("wrong:")
                                  ? parseInteger (value.fromFirstOccurrenceOf (":", false, false),
                                                  std::numeric_limits<juce::int32>::min(),
                                                  std::numeric_limits<juce::int32>::max())
                                  : std::nullopt)
        {
            revisionAnswer = RevisionAnswer::wrong;
            wrongRevision = static_cast<juce::int32> (*wrong);
        }
        else
        {
            return badValue (key, value, "prompt, none, late:MS, short, twice or wrong:N");
        }
    }
    else if (key == "names")
    {
        if (value == "same")
            names = NamePairing::same;
        else if (value == "case")
            names = NamePairing::upperCaseOutput;
        else if (value == "suffix")
            names = NamePairing::suffixedOutput;
        else
            return badValue (key, value, "same, case or suffix");
    }
    else if (key == "extra-devices" || key == "unopenable-devices" || key == "extra-devices-after")
    {
        auto parsed = parseInteger (value, 0, 64);
        if (!parsed)
            return badValue (key, value, "a count from 0 to 64");
        auto& count = key == "extra-devices"        ? extraDevices
                      : key == "unopenable-devices" ? unopenableDevices
                                                    : extraDevicesAfter;
        count = static_cast<int> (*parsed);
    }
    else if (key == "unopenable")
    {
        if (value != "none" && value != "input" && value != "output" && value != "both")
            return badValue (key, value, "none, input, output or both");
        inputUnopenable = value == "input" || value == "both";
        outputUnopenable = value == "output" || value == "both";
    }
    else if (key == "second-pedal-at")
    {
        if (value != "before" && value != "after")
            return badValue (key, value, "before or after");
        secondPedalFirst = value == "before";
    }
    else if (key.startsWith ("second."))
    {
        // Settings of the bus (other devices, a further pedal) belong to the first pedal's text.
        const auto own = key.fromFirstOccurrenceOf (".", false, false);
        if (own.startsWith ("second") || own.startsWith ("extra-devices") || own == "unopenable-devices")
            return juce::Result::fail ("pedal setting \"" + key + "\": not a setting of one pedal");

        PedalConfig scratch;
        const auto result = scratch.set (own, value);
        if (result.failed())
            return juce::Result::fail (result.getErrorMessage()
                                           .replace ("pedal setting " + own, "pedal setting " + key)
                                           .replace ("\"" + own + "\"", "\"" + key + "\""));
        secondSettings.add (own + "=" + value);
    }
    else if (key == "second-pedal")
    {
        if (value == "none")
            secondPedal.reset();
        else if (auto parsed = parseMode (value))
            secondPedal = *parsed;
        else
            return badValue (key, value, "none, boot or normal");
    }
    else if (key == "foreign")
    {
        auto parsed = parseForeignKinds (value);
        if (!parsed)
            return badValue (key, value,
                             "none, all or kinds (maker, model, clock, notes, short, malformed) joined by +");
        foreignKinds = *parsed;
    }
    else if (key == "foreign-rate" || key == "foreign-burst")
    {
        auto parsed = parseInteger (value, 1, key == "foreign-rate" ? 1000 : 10000);
        if (!parsed)
            return badValue (key, value,
                             key == "foreign-rate" ? "1 to 1000 rounds a second" : "1 to 10000 messages");
        (key == "foreign-rate" ? foreignRate : foreignBurst) = static_cast<int> (*parsed);
    }
    else if (key == "lose-block" || key == "duplicate-block" || key == "reorder-block" ||
             key == "corrupt-block")
    {
        auto parsed = parseBlocks (value);
        if (!parsed)
            return badValue (key, value, "block numbers or ranges of 0..489 joined by +, random:N or none");

        if (key == "lose-block")
            lostBlocks = *parsed;
        else if (key == "duplicate-block")
            duplicatedBlocks = *parsed;
        else if (key == "reorder-block")
            reorderedBlocks = *parsed;
        else
            corruptedBlocks = *parsed;
    }
    else if (key == "seed")
    {
        auto parsed = parseInteger (value, 0, std::numeric_limits<juce::int32>::max());
        if (!parsed)
            return badValue (key, value, "a non-negative number");
        seed = *parsed;
    }
    else
    {
        return juce::Result::fail ("unknown pedal setting \"" + key + "\"");
    }

    return juce::Result::ok();
}

juce::Result PedalConfig::applyEnvironment()
{
    // A variable that is set but not well-formed UTF-8 is refused before anything is applied.
    for (auto* variable : {"PEDAL_SIM", "PEDAL_SIM_MODE", "PEDAL_SIM_NAME", "PEDAL_SIM_REVISION"})
        if (auto* text = std::getenv (variable); text != nullptr && !textFromOutside (text))
            return juce::Result::fail (juce::String (variable) + ": not valid UTF-8 text");

    auto read = [] (const char* variable) -> std::optional<juce::String>
    {
        if (auto* text = std::getenv (variable))
            return textFromOutside (text);
        return std::nullopt;
    };

    if (auto settings = read ("PEDAL_SIM"))
    {
        auto result = apply (*settings);
        if (result.failed())
            return juce::Result::fail ("PEDAL_SIM: " + result.getErrorMessage());
    }

    const std::pair<const char*, const char*> singles[] = {
        {"PEDAL_SIM_MODE", "mode"}, {"PEDAL_SIM_NAME", "name"}, {"PEDAL_SIM_REVISION", "start-revision"}};
    for (auto& single : singles)
    {
        if (auto value = read (single.first))
        {
            auto result = set (single.second, value->trim());
            if (result.failed())
                return juce::Result::fail (juce::String (single.first) + ": " + result.getErrorMessage());
        }
    }
    return juce::Result::ok();
}

juce::String PedalConfig::portName (PedalMode inMode) const
{
    return inMode == PedalMode::bootLoader ? name + " Boot" : name;
}

PedalConfig PedalConfig::secondPedalConfig() const
{
    PedalConfig second;
    second.mode = secondPedal.value_or (PedalMode::bootLoader);
    second.name = name;
    second.startRevision = startRevision;
    second.restartMs = restartMs;
    second.neverRestarts = neverRestarts;
    second.seed = seed;

    // Each entry was accepted when it was set.
    [[maybe_unused]] const auto result = second.apply (secondSettings.joinIntoString (","));
    jassert (result.wasOk());
    return second;
}

juce::String PedalConfig::describeSettings()
{
    return "Pedal settings: comma-separated key=value pairs, applied left to right.\n"
           "  mode=boot|normal                  program at power-up (boot)\n"
           "  name=TEXT                         port name base (Verrano2); the boot loader adds \" Boot\"\n"
           "  plug-in-ms=N                      connected N ms after the start (0: from the start)\n"
           "  start-revision=N                  revision reported before any update (1187)\n"
           "  restart-ms=N|never                length of the restart after an update (4000);\n"
           "                                    never: the pedal stays unplugged\n"
           "  ack=prompt|none|late:MS           answer to the device probe (prompt)\n"
           "  revision=prompt|none|late:MS|short|twice|wrong:N\n"
           "                                    answer to the revision query (prompt)\n"
           "  names=same|case|suffix            the output port's name: like the input's, in upper\n"
           "                                    case, or with \" Out\" appended (same)\n"
           "  extra-devices=N                   silent devices listed before the pedal (0)\n"
           "  unopenable-devices=N              devices listed before the pedal whose ports cannot\n"
           "                                    be opened (0)\n"
           "  unopenable=none|input|output|both which of the pedal's own ports refuse to open (none)\n"
           "  extra-devices-after=N             silent devices listed after the pedals (0)\n"
           "  second-pedal=none|boot|normal     another pedal of the same name (its revision and restart\n"
           "                                    as the first's unless second.KEY says otherwise)\n"
           "  second-pedal-at=before|after      where the second pedal is listed (after)\n"
           "  second.KEY=VALUE                  a setting of the second pedal alone\n"
           "                                    (second.start-revision=1222, second.ack=none, ...)\n"
           "  foreign=none|all|KIND[+KIND...]   unsolicited traffic on the pedal's output;\n"
           "                                    KIND: maker, model, clock, notes, short, malformed\n"
           "  foreign-rate=N                    rounds of foreign traffic per second (20)\n"
           "  foreign-burst=N                   messages per round (1)\n"
           "  lose-block=BLOCKS                 blocks lost in transit\n"
           "  duplicate-block=BLOCKS            blocks that arrive twice\n"
           "  reorder-block=BLOCKS              blocks that arrive after the message following them\n"
           "  corrupt-block=BLOCKS              blocks with one bit flipped in transit\n"
           "                                    BLOCKS: numbers or ranges of 0..489 joined by '+'\n"
           "                                    (17+40-42), random:N, or none\n"
           "  seed=N                            seed of the random block choices (1)\n"
           "Environment: PEDAL_SIM holds such settings; PEDAL_SIM_MODE, PEDAL_SIM_NAME and\n"
           "PEDAL_SIM_REVISION then set mode, name and start-revision.\n"
           "Example: ack=late:400,lose-block=17,revision=wrong:1187,restart-ms=30000\n";
}

} // namespace pedal
