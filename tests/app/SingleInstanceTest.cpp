// A second start while the updater runs ends at once, shows no window and leaves the
// running copy alone: with exit code 0 when interactive, with -1 and one line on
// standard error when unattended (a script must not read it as an update). --help
// and --version are answered all the same, without a display. The demo build is
// started as real processes under one X server; the first interactive copy is ended
// by SIGTERM, which must end it the orderly way, as closing its window would.
#include "UpdaterProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace app_testing;

namespace
{
const std::string demo = DEMO_UPDATER_PATH;

/** A folder of its own for the pedals' reports. */
class SingleInstance : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/updater-instance-XXXXXX";
        ASSERT_NE (::mkdtemp (pattern), nullptr);
        folder = pattern;

        // Another copy of the updater (from another test run on this machine) would
        // make ours the second one; wait for it to go.
        ASSERT_TRUE (waitFor ([] { return singleInstanceHolder() == 0; }, 120000))
            << "another updater (pid " << singleInstanceHolder() << ") holds the single-instance lock";
    }

    void TearDown() override
    {
        std::remove ((folder + "/first.txt").c_str());
        std::remove ((folder + "/second.txt").c_str());
        ::rmdir (folder.c_str());
    }

    static bool waitFor (const std::function<bool()>& condition, int timeoutMs)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);
        while (!condition())
        {
            if (std::chrono::steady_clock::now() > end)
                return condition();
            std::this_thread::sleep_for (std::chrono::milliseconds (20));
        }
        return true;
    }

    /** Starts the first copy and waits until it holds the lock and shows its window. */
    std::unique_ptr<UpdaterProcess> startFirst (const std::vector<std::string>& arguments,
                                                const std::string& pedalSettings,
                                                const std::string& pauses = "real")
    {
        auto first = std::make_unique<UpdaterProcess> (
            demo, arguments,
            std::vector<std::string>{"PEDAL_SIM=" + pedalSettings, "DEMO_PAUSES=" + pauses,
                                     "PEDAL_SIM_REPORT=" + folder + "/first.txt"});

        EXPECT_TRUE (first->isStarted());
        EXPECT_TRUE (waitFor (
            [&] { return singleInstanceHolder() == first->getPid() || !first->isRunning(); }, 30000));
        EXPECT_EQ (singleInstanceHolder(), first->getPid());
        EXPECT_TRUE (waitFor ([] { return countUpdaterWindows() == 1; }, 30000))
            << "the first copy shows no window";
        return first;
    }

    /** Starts a second copy, which must end at once with `expectedCode` and the given
        standard error, without touching its pedal. */
    void startSecondAndCheck (UpdaterProcess& first, const std::vector<std::string>& arguments,
                              int expectedCode, const std::string& expectedErrors)
    {
        UpdaterProcess second (demo, arguments, {"PEDAL_SIM_REPORT=" + folder + "/second.txt"});
        ASSERT_TRUE (second.isStarted());

        // It only sleeps 200 ms in its shutdown; a generous bound for a busy machine.
        const auto code = second.waitForExit (5000);
        ASSERT_TRUE (code.has_value()) << "the second copy did not end by itself";
        EXPECT_EQ (*code, expectedCode);
        EXPECT_EQ (second.getErrors(), expectedErrors);
        std::cout << "second copy ended after " << second.getRunTimeMs() << " ms" << std::endl;

        EXPECT_FALSE (std::ifstream (folder + "/second.txt").good())
            << "the second copy built its MIDI ports, so it ran its start-up";
        EXPECT_TRUE (first.isRunning());
        EXPECT_EQ (singleInstanceHolder(), first.getPid());
        EXPECT_EQ (countUpdaterWindows(), 1) << "only the first copy's window may be on screen";
    }

    /** The first copy's pedal report, as key=value lines. */
    std::string firstReport() const
    {
        std::stringstream text;
        text << std::ifstream (folder + "/first.txt").rdbuf();
        return text.str();
    }

    /** Runs the demo with `argument`, no display and the first copy holding the guard:
        it must answer at once on standard output, with 0 and nothing on standard error. */
    std::string answerWithoutDisplay (UpdaterProcess& first, const std::string& argument)
    {
        UpdaterProcess asking (demo, {argument}, {"DISPLAY", "WAYLAND_DISPLAY"});
        EXPECT_TRUE (asking.isStarted());
        const auto code = asking.waitForExit (5000);
        EXPECT_EQ (code, std::optional<int> (0)) << argument;
        EXPECT_EQ (asking.getErrors(), "") << argument;
        EXPECT_TRUE (first.isRunning());
        EXPECT_EQ (singleInstanceHolder(), first.getPid());
        return asking.getOutput();
    }

    std::string folder;
};

const std::string anotherCopyLine = "firmware-updater-demo: another copy of the updater is running: wait for "
                                    "it to finish, then run the update again\n";
} // namespace

TEST_F (SingleInstance, SecondStartEndsAtOnceAndLeavesTheInteractiveCopyRunning)
{
    auto first = startFirst ({}, "");
    ASSERT_TRUE (first->isRunning());

    startSecondAndCheck (*first, {}, 0, "");

    // A listing would probe the ports the first copy holds: refused, with its line.
    startSecondAndCheck (*first, {"--list"}, -1, anotherCopyLine);

    // Questions are answered beside it, with no display and no window of their own.
    const auto version = answerWithoutDisplay (*first, "--version");
    EXPECT_EQ (version, "firmware-updater-demo 2.0\nfirmware: Verrano2 1.2.00 (revision 1222)\n");
    EXPECT_EQ (answerWithoutDisplay (*first, "-V"), version);

    const auto help = answerWithoutDisplay (*first, "--help");
    for (const char* part :
         {"Usage: firmware-updater-demo [--autoupdate [-v]]", "--list", "firmware 1.2.00 (revision 1222)",
          "Verrano2", "hold the footswitch", "Exit codes:", "  0 ", "  255 "})
        EXPECT_NE (help.find (part), std::string::npos) << part << " is missing from:\n" << help;
    EXPECT_EQ (answerWithoutDisplay (*first, "-h"), help);
    EXPECT_EQ (countUpdaterWindows(), 1);

    // A termination request ends the first copy the orderly way: exit code of the
    // moment (0, nothing was tried), and its pedal's ports released.
    first->sendSignal (SIGTERM);
    const auto code = first->waitForExit (10000);
    ASSERT_TRUE (code.has_value()) << "ended by signal " << first->getTerminatingSignal();
    EXPECT_EQ (*code, 0);

    const auto report = firstReport();
    EXPECT_NE (report.find ("\nprobes=1\n"), std::string::npos) << report;
    EXPECT_NE (report.find ("\npackages=0\n"), std::string::npos) << report;
}

TEST_F (SingleInstance, SecondStartDuringAnUnattendedUpdateLeavesItToFinish)
{
    // Short pauses but for the searches after the restart, one a second: a pedal that
    // takes six seconds to restart keeps the first copy busy well past the second
    // start, and is back within the eight searches.
    auto first = startFirst ({"--autoupdate"}, "restart-ms=6000", "fast,reconnect-ms=1000");
    ASSERT_TRUE (first->isRunning());

    // Unattended, the refused start is a failure, said so on standard error.
    startSecondAndCheck (*first, {"--autoupdate"}, -1, anotherCopyLine);

    const auto code = first->waitForExit (60000);
    ASSERT_TRUE (code.has_value()) << "the first copy did not end";
    EXPECT_EQ (*code, 0);

    const auto report = firstReport();
    EXPECT_NE (report.find ("\nrevision=1222\n"), std::string::npos) << report;
    EXPECT_NE (report.find ("\ncheck=passed\n"), std::string::npos) << report;
    EXPECT_NE (report.find ("\npackages=492\n"), std::string::npos) << report;
}
