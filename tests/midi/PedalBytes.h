#pragma once

#include "FakePortLayer.h"

#include <initializer_list>
#include <ostream>

namespace midi_testing
{

/** The pedal's model byte. */
constexpr juce::uint8 pedalModel = 0x2e;

inline juce::Array<juce::uint8> bytesOf (std::initializer_list<int> values)
{
    juce::Array<juce::uint8> out;
    for (auto v : values)
        out.add (static_cast<juce::uint8> (v));
    return out;
}

/** The device header for `model` followed by `rest`: the data of a pedal message. */
inline juce::Array<juce::uint8> pedalData (std::initializer_list<int> rest, juce::uint8 model = pedalModel)
{
    const juce::uint8 header[] = {0x00, 0x6c, 0x51, 0x00, model};
    juce::Array<juce::uint8> out (header, 5);
    out.addArray (bytesOf (rest));
    return out;
}

/** F0, data, F7. */
inline juce::Array<juce::uint8> framed (const juce::Array<juce::uint8>& data)
{
    juce::Array<juce::uint8> out{juce::uint8{0xf0}};
    out.addArray (data);
    out.add (0xf7);
    return out;
}

/** Delivered inside sendMessageNow, before the send returns. */
inline ScriptedReply atOnce (const juce::Array<juce::uint8>& message)
{
    return {message, 0, true};
}

/** Delivered by the fake's delivery thread `delayMs` after the send. */
inline ScriptedReply later (const juce::Array<juce::uint8>& message, int delayMs = 0)
{
    return {message, delayMs, false};
}

/** Answers the device probe with `probeReplies` and the revision query with
    `queryReplies`; ignores everything else. */
inline FakePortLayer::Script pedal (std::vector<ScriptedReply> probeReplies,
                                    std::vector<ScriptedReply> queryReplies = {})
{
    const auto probe = framed (pedalData ({0x00}));
    const auto query = framed (pedalData ({0x03}));

    return [=] (const juce::Array<juce::uint8>& received)
    {
        if (received == probe)
            return probeReplies;
        if (received == query)
            return queryReplies;
        return std::vector<ScriptedReply>();
    };
}

/** A pedal that acknowledges the probe at once and answers the revision query with
    `queryReplies`. */
inline FakePortLayer::Script answeringPedal (std::vector<ScriptedReply> queryReplies = {})
{
    return pedal ({atOnce (framed (pedalData ({0x01})))}, std::move (queryReplies));
}

} // namespace midi_testing

namespace juce
{
/** Lets test failures show byte arrays as hex. */
inline void PrintTo (const Array<uint8>& bytes, std::ostream* os)
{
    *os << "[" << String::toHexString (bytes.begin(), bytes.size()) << "]";
}
} // namespace juce
