// A second start while the updater runs: it ends at once with exit code 0, shows no
// window and leaves the running copy alone, interactive or in the middle of an
// unattended update. The demo build is started as real processes under one X server;
// the first copy is ended by a keyboard break (SIGINT), which the framework turns
// into a quit.
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
                                                const std::string& pedalSettings)
    {
        auto first = std::make_unique<UpdaterProcess> (
            demo, arguments,
            std::vector<std::string>{"PEDAL_SIM=" + pedalSettings,
                                     "PEDAL_SIM_REPORT=" + folder + "/first.txt"});

        EXPECT_TRUE (first->isStarted());
        EXPECT_TRUE (waitFor (
            [&] { return singleInstanceHolder() == first->getPid() || !first->isRunning(); }, 30000));
        EXPECT_EQ (singleInstanceHolder(), first->getPid());
        EXPECT_TRUE (waitFor ([] { return countUpdaterWindows() == 1; }, 30000))
            << "the first copy shows no window";
        return first;
    }

    /** Starts a second copy, which must end at once with 0, without touching its pedal. */
    void startSecondAndCheck (UpdaterProcess& first)
    {
        UpdaterProcess second (demo, {}, {"PEDAL_SIM_REPORT=" + folder + "/second.txt"});
        ASSERT_TRUE (second.isStarted());

        // It only sleeps 200 ms in its shutdown; a generous bound for a busy machine.
        const auto code = second.waitForExit (5000);
        ASSERT_TRUE (code.has_value()) << "the second copy did not end by itself";
        EXPECT_EQ (*code, 0);
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

    std::string folder;
};
} // namespace

TEST_F (SingleInstance, SecondStartEndsAtOnceAndLeavesTheInteractiveCopyRunning)
{
    auto first = startFirst ({}, "");
    ASSERT_TRUE (first->isRunning());

    startSecondAndCheck (*first);

    // A keyboard break quits the first copy the framework's way: shutdown, exit code 0.
    first->sendSignal (SIGINT);
    const auto code = first->waitForExit (10000);
    ASSERT_TRUE (code.has_value()) << "ended by signal " << first->getTerminatingSignal();
    EXPECT_EQ (*code, 0);

    const auto report = firstReport();
    EXPECT_NE (report.find ("\nprobes=1\n"), std::string::npos) << report;
    EXPECT_NE (report.find ("\npackages=0\n"), std::string::npos) << report;
}

TEST_F (SingleInstance, SecondStartDuringAnUnattendedUpdateLeavesItToFinish)
{
    // A pedal slow to restart keeps the first copy busy well past the second start.
    auto first = startFirst ({"--autoupdate"}, "restart-ms=6000");
    ASSERT_TRUE (first->isRunning());

    startSecondAndCheck (*first);

    const auto code = first->waitForExit (120000);
    ASSERT_TRUE (code.has_value()) << "the first copy did not end";
    EXPECT_EQ (*code, 0);

    const auto report = firstReport();
    EXPECT_NE (report.find ("\nrevision=1222\n"), std::string::npos) << report;
    EXPECT_NE (report.find ("\ncheck=passed\n"), std::string::npos) << report;
    EXPECT_NE (report.find ("\npackages=492\n"), std::string::npos) << report;
}
