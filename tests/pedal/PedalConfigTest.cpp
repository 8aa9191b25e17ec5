#include "tools/pedal/PedalConfig.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using pedal::PedalConfig;
using pedal::PedalMode;

namespace
{

PedalConfig parsed (const juce::String& settings)
{
    PedalConfig config;
    const auto result = config.apply (settings);
    EXPECT_TRUE (result.wasOk()) << settings << ": " << result.getErrorMessage();
    return config;
}

/** Sets an environment variable for one test and restores the old state after it. */
class ScopedEnvironment
{
public:
    ScopedEnvironment (const char* nameToSet, const char* value)
        : name (nameToSet)
    {
        if (auto* old = std::getenv (name))
            previous = old;
        ::setenv (name, value, 1);
    }

    ~ScopedEnvironment()
    {
        if (previous.empty())
            ::unsetenv (name);
        else
            ::setenv (name, previous.c_str(), 1);
    }

private:
    const char* name;
    std::string previous;
};

} // namespace

TEST (PedalConfig, DefaultsAreAFactoryPedalInItsBootLoader)
{
    const PedalConfig config;
    EXPECT_EQ (config.mode, PedalMode::bootLoader);
    EXPECT_EQ (config.portName (PedalMode::bootLoader), "Verrano2 Boot");
    EXPECT_EQ (config.portName (PedalMode::normal), "Verrano2");
    EXPECT_EQ (config.startRevision, 1187);
    EXPECT_EQ (config.restartMs, 4000);
    EXPECT_FALSE (config.neverRestarts);
    EXPECT_EQ (config.acknowledge, PedalConfig::Answer::prompt);
    EXPECT_EQ (config.revisionAnswer, PedalConfig::RevisionAnswer::prompt);
    EXPECT_EQ (config.foreignKinds, 0);
    EXPECT_TRUE (config.lostBlocks.isEmpty());
}

TEST (PedalConfig, TheExampleSettingsParse)
{
    const auto config = parsed ("ack=late:400,lose-block=17,revision=wrong:1187,restart-ms=30000");
    EXPECT_EQ (config.acknowledge, PedalConfig::Answer::late);
    EXPECT_EQ (config.acknowledgeDelayMs, 400);
    EXPECT_EQ (config.lostBlocks.numbers, std::set<int> ({17}));
    EXPECT_EQ (config.revisionAnswer, PedalConfig::RevisionAnswer::wrong);
    EXPECT_EQ (config.wrongRevision, 1187);
    EXPECT_EQ (config.restartMs, 30000);
}

TEST (PedalConfig, StartAndRestartKeys)
{
    auto config = parsed (" mode = normal , name=Other Pedal,start-revision=-5,restart-ms=never ");
    EXPECT_EQ (config.mode, PedalMode::normal);
    EXPECT_EQ (config.portName (PedalMode::normal), "Other Pedal");
    EXPECT_EQ (config.startRevision, -5);
    EXPECT_TRUE (config.neverRestarts);

    // A later setting replaces an earlier one.
    EXPECT_TRUE (config.apply ("restart-ms=0,mode=boot").wasOk());
    EXPECT_FALSE (config.neverRestarts);
    EXPECT_EQ (config.restartMs, 0);
    EXPECT_EQ (config.mode, PedalMode::bootLoader);
}

TEST (PedalConfig, AnswerKeys)
{
    EXPECT_EQ (parsed ("ack=none").acknowledge, PedalConfig::Answer::none);
    EXPECT_EQ (parsed ("ack=late:0,ack=prompt").acknowledge, PedalConfig::Answer::prompt);

    using R = PedalConfig::RevisionAnswer;
    EXPECT_EQ (parsed ("revision=none").revisionAnswer, R::none);
    EXPECT_EQ (parsed ("revision=short").revisionAnswer, R::tooShort);
    EXPECT_EQ (parsed ("revision=twice").revisionAnswer, R::twice);
    EXPECT_EQ (parsed ("revision=prompt").revisionAnswer, R::prompt);

    const auto late = parsed ("revision=late:250");
    EXPECT_EQ (late.revisionAnswer, R::late);
    EXPECT_EQ (late.revisionDelayMs, 250);
    EXPECT_EQ (parsed ("revision=wrong:-2147483648").wrongRevision, std::numeric_limits<juce::int32>::min());
}

TEST (PedalConfig, PortKeys)
{
    EXPECT_EQ (parsed ("names=case").names, PedalConfig::NamePairing::upperCaseOutput);
    EXPECT_EQ (parsed ("names=suffix").names, PedalConfig::NamePairing::suffixedOutput);
    EXPECT_EQ (parsed ("names=case,names=same").names, PedalConfig::NamePairing::same);

    const auto devices = parsed ("extra-devices=3,unopenable-devices=2,unopenable=output");
    EXPECT_EQ (devices.extraDevices, 3);
    EXPECT_EQ (devices.unopenableDevices, 2);
    EXPECT_FALSE (devices.inputUnopenable);
    EXPECT_TRUE (devices.outputUnopenable);

    const auto both = parsed ("unopenable=both");
    EXPECT_TRUE (both.inputUnopenable && both.outputUnopenable);
    const auto none = parsed ("unopenable=input,unopenable=none");
    EXPECT_FALSE (none.inputUnopenable || none.outputUnopenable);

    EXPECT_EQ (parsed ("second-pedal=normal").secondPedal, PedalMode::normal);
    EXPECT_FALSE (parsed ("second-pedal=boot,second-pedal=none").secondPedal.has_value());

    // The second pedal takes the first's name, revision and restart, then its own settings.
    const auto two = parsed ("start-revision=1100,restart-ms=200,extra-devices-after=4,second-pedal=normal,"
                             "second-pedal-at=before,second.start-revision=1222,second.ack=none");
    EXPECT_EQ (two.extraDevicesAfter, 4);
    EXPECT_TRUE (two.secondPedalFirst);
    const auto second = two.secondPedalConfig();
    EXPECT_EQ (second.mode, PedalMode::normal);
    EXPECT_EQ (second.startRevision, 1222);
    EXPECT_EQ (second.restartMs, 200);
    EXPECT_EQ (second.acknowledge, PedalConfig::Answer::none);
    EXPECT_EQ (two.startRevision, 1100);
    EXPECT_EQ (two.acknowledge, PedalConfig::Answer::prompt);
    EXPECT_EQ (parsed ("plug-in-ms=2500").plugInMs, 2500);
}

TEST (PedalConfig, ForeignTrafficKeys)
{
    const auto some = parsed ("foreign=clock+short,foreign-rate=500,foreign-burst=40");
    EXPECT_EQ (some.foreignKinds, PedalConfig::foreignClock | PedalConfig::foreignShort);
    EXPECT_EQ (some.foreignRate, 500);
    EXPECT_EQ (some.foreignBurst, 40);

    EXPECT_EQ (parsed ("foreign=all").foreignKinds, PedalConfig::foreignAll);
    EXPECT_EQ (parsed ("foreign=maker+model+clock+notes+short+malformed").foreignKinds,
               PedalConfig::foreignAll);
    EXPECT_EQ (parsed ("foreign=all,foreign=none").foreignKinds, 0);
}

TEST (PedalConfig, BlockKeys)
{
    const auto config =
        parsed ("lose-block=3+40-42,duplicate-block=0,reorder-block=489,corrupt-block=random:4,seed=9");
    EXPECT_EQ (config.lostBlocks.numbers, std::set<int> ({3, 40, 41, 42}));
    EXPECT_EQ (config.duplicatedBlocks.numbers, std::set<int> ({0}));
    EXPECT_EQ (config.reorderedBlocks.numbers, std::set<int> ({489}));
    EXPECT_EQ (config.corruptedBlocks.randomCount, 4);
    EXPECT_EQ (config.seed, 9);
    EXPECT_TRUE (parsed ("lose-block=5,lose-block=none").lostBlocks.isEmpty());
}

TEST (PedalConfig, RandomBlocksAreDistinctInRangeAndRepeatable)
{
    pedal::BlockSelection selection;
    selection.numbers = {7};
    selection.randomCount = 20;

    const auto chosen = selection.resolve (3, 1);
    EXPECT_EQ (chosen.size(), 21u);
    EXPECT_EQ (chosen.count (7), 1u);
    EXPECT_GE (*chosen.begin(), 0);
    EXPECT_LT (*chosen.rbegin(), PedalConfig::numBlocks);
    EXPECT_EQ (selection.resolve (3, 1), chosen);

    selection.randomCount = PedalConfig::numBlocks;
    EXPECT_EQ (selection.resolve (3, 1).size(), static_cast<size_t> (PedalConfig::numBlocks));
}

TEST (PedalConfig, BadSettingsAreRejectedWithTheirKey)
{
    const char* const bad[] = {"bogus=1",
                               "ack",
                               "mode=",
                               "mode=Boot",
                               "name=",
                               "start-revision=2147483648",
                               "start-revision=12x",
                               "restart-ms=-1",
                               "restart-ms=1e3",
                               "restart-ms=",
                               "ack=late:",
                               "ack=late:abc",
                               "ack=slow",
                               "revision=wrong:",
                               "revision=wrong:abc",
                               "revision=late:-3",
                               "revision=garbled",
                               "names=other",
                               "extra-devices=65",
                               "unopenable-devices=-1",
                               "unopenable=maybe",
                               "second-pedal=yes",
                               "second-pedal-at=middle",
                               "second.ack=sometimes",
                               "second.extra-devices=2",
                               "second.second-pedal=boot",
                               "plug-in-ms=-5",
                               "foreign=noise",
                               "foreign=clock+noise",
                               "foreign=",
                               "foreign-rate=0",
                               "foreign-burst=10001",
                               "lose-block=490",
                               "lose-block=20-10",
                               "lose-block=-1",
                               "lose-block=1++2",
                               "lose-block=",
                               "duplicate-block=random:0",
                               "reorder-block=random:491",
                               "corrupt-block=x",
                               "seed=-1"};

    for (auto* settings : bad)
    {
        PedalConfig config;
        const auto result = config.apply (juce::String ("mode=normal,") + settings);
        EXPECT_TRUE (result.failed()) << settings;

        const auto key = juce::String (settings).upToFirstOccurrenceOf ("=", false, false);
        EXPECT_TRUE (result.getErrorMessage().contains (key)) << result.getErrorMessage();
    }
}

TEST (PedalConfig, EnvironmentSettingsThenSingleVariables)
{
    const ScopedEnvironment settings ("PEDAL_SIM", "ack=none,mode=boot,name=Old");
    const ScopedEnvironment mode ("PEDAL_SIM_MODE", "normal");
    const ScopedEnvironment name ("PEDAL_SIM_NAME", "Verrano3");
    const ScopedEnvironment revision ("PEDAL_SIM_REVISION", "1222");

    PedalConfig config;
    ASSERT_TRUE (config.applyEnvironment().wasOk());
    EXPECT_EQ (config.acknowledge, PedalConfig::Answer::none);
    EXPECT_EQ (config.mode, PedalMode::normal);
    EXPECT_EQ (config.name, "Verrano3");
    EXPECT_EQ (config.startRevision, 1222);
}

TEST (PedalConfig, BadEnvironmentNamesTheVariable)
{
    {
        const ScopedEnvironment settings ("PEDAL_SIM", "lose-block=17,colour=red");
        PedalConfig config;
        const auto result = config.applyEnvironment();
        EXPECT_TRUE (result.failed());
        EXPECT_TRUE (result.getErrorMessage().startsWith ("PEDAL_SIM: ")) << result.getErrorMessage();
    }
    {
        const ScopedEnvironment mode ("PEDAL_SIM_MODE", "sleeping");
        PedalConfig config;
        const auto result = config.applyEnvironment();
        EXPECT_TRUE (result.failed());
        EXPECT_TRUE (result.getErrorMessage().startsWith ("PEDAL_SIM_MODE: ")) << result.getErrorMessage();
    }
}

TEST (PedalConfig, EnvironmentTextThatIsNotUtf8IsRefusedNamingTheVariable)
{
    // Malformed UTF-8 is unsafe to hold in a juce::String (reading it back runs past
    // its end): a lead byte beyond four bytes, an overlong encoding, a surrogate, a
    // code point above U+10FFFF, a sequence cut short and a stray continuation byte.
    for (const char* bad : {"name=Verrano2\xf9\x7a\xa2", "name=\xc0\x80", "name=\xed\xa0\x80",
                            "name=\xf4\x90\x80\x80", "name=Verrano2\xe2\x82", "name=\x80"})
    {
        const ScopedEnvironment settings ("PEDAL_SIM", bad);
        PedalConfig config;
        const auto result = config.applyEnvironment();
        EXPECT_TRUE (result.failed())
            << juce::String::toHexString (bad, static_cast<int> (std::strlen (bad)));
        EXPECT_TRUE (result.getErrorMessage().startsWith ("PEDAL_SIM: ")) << result.getErrorMessage();
        EXPECT_EQ (config.name, "Verrano2");
    }

    const ScopedEnvironment name ("PEDAL_SIM_NAME", "P\xc3\xa9"
                                                    "dale \xe2\x82\xac \xf0\x9f\x8e\xb8");
    PedalConfig config;
    ASSERT_TRUE (config.applyEnvironment().wasOk());
    EXPECT_EQ (config.name, juce::String (juce::CharPointer_UTF8 ("P\xc3\xa9"
                                                                  "dale \xe2\x82\xac \xf0\x9f\x8e\xb8")));
}
