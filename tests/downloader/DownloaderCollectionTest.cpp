// Collecting the image from the model: whatever the order in which update
// requests, package requests and responses meet on the message queue, the pedal
// receives every package exactly once, in order.
#include "TransferRig.h"
#include "support/MessagePump.h"

#include <gmock/gmock.h>

using namespace downloader_test;
using Kind = CallJournal::Kind;

namespace
{
constexpr int numPackages = 4;

std::unique_ptr<TransferRig> interactiveRig()
{
    auto rig = std::make_unique<TransferRig> (false, numPackages);
    rig->midi.scriptFindResults ({true, true});
    rig->midi.setReply (revisionReply (1222));
    return rig;
}

/** The pedal got the image once, in order, and one result was reported. */
void expectOneCleanTransfer (const TransferRig& rig)
{
    EXPECT_EQ (rig.journal.sent(), rig.model.image());
    EXPECT_EQ (rig.controller.count (message::Code::svnUpdate), 1u);
    EXPECT_EQ (rig.controller.count (message::Code::updateStatus), 0u);
    EXPECT_FALSE (rig.downloader->isThreadRunning());
}
} // namespace

//==============================================================================
TEST (DownloaderCollection, DoubleAndTripleClicksBeforeAnyResponseSendTheImageOnce)
{
    for (int clicks = 2; clicks <= 3; ++clicks)
    {
        SCOPED_TRACE (std::to_string (clicks) + " clicks");
        auto rig = interactiveRig();
        for (int i = 0; i < clicks; ++i)
            rig->clickUpdate();

        ASSERT_TRUE (rig->runToEnd());
        expectOneCleanTransfer (*rig);
    }
}

TEST (DownloaderCollection, SecondUpdateAtAnyPointOfTheExchangeSendsTheImageOnce)
{
    // The second click reaches the controller just before or just after it routes
    // the k-th package request or response, covering every interleaving of the
    // rewind with requests and responses in flight.
    const int codes[] = {message::Code::nextPackageRequest, message::Code::nextPackageResponse};

    for (auto code : codes)
    {
        for (bool afterRouting : {false, true})
        {
            for (int k = 0; k <= numPackages; ++k)
            {
                SCOPED_TRACE ("code " + std::to_string (code) + (afterRouting ? " after" : " before") +
                              " routing #" + std::to_string (k));
                auto rig = interactiveRig();
                auto* controller = &rig->controller;
                int seen = 0;

                auto hook = [controller, code, k, &seen] (const message::BaseMessage& m)
                {
                    if (m.type == code && seen++ == k)
                        controller->post (new message::UpdateRequest());
                };

                if (afterRouting)
                    rig->controller.afterRouting = hook;
                else
                    rig->controller.beforeRouting = hook;

                rig->clickUpdate();
                ASSERT_TRUE (rig->runToEnd());
                EXPECT_EQ (rig->model.rewinds, 2);
                expectOneCleanTransfer (*rig);
            }
        }
    }
}

TEST (DownloaderCollection, UpdateWhileTheThreadRunsIsIgnored)
{
    // The thread is held inside a transport call: sending the first package, a
    // later one, and searching for the pedal after its restart.
    const std::function<void (FakeMidi&)> holds[] = {
        [] (FakeMidi& midi) { midi.holdSend (0); },
        [] (FakeMidi& midi) { midi.holdSend (2); },
        [] (FakeMidi& midi) { midi.holdFindDevice(); },
    };

    for (size_t i = 0; i < std::size (holds); ++i)
    {
        SCOPED_TRACE ("hold " + std::to_string (i));
        auto rig = interactiveRig();
        holds[i](rig->midi);
        rig->clickUpdate();
        ASSERT_TRUE (testing_support::pumpUntil ([&] { return rig->midi.holdsEntered() >= 1; }));

        const auto requestsBefore = rig->controller.count (message::Code::nextPackageRequest);
        rig->clickUpdate();
        testing_support::drainMessages();

        EXPECT_EQ (rig->model.rewinds, 2);
        EXPECT_EQ (rig->controller.count (message::Code::nextPackageRequest), requestsBefore);

        rig->midi.release();
        ASSERT_TRUE (rig->runToEnd());
        expectOneCleanTransfer (*rig);
        EXPECT_EQ (rig->threadTrace(), "S0 P P P S1 P S2 P S3 P C F Q V");
    }
}

TEST (DownloaderCollection, ResponsesWithoutAnUpdateRequestAreNotQueued)
{
    auto rig = interactiveRig();
    rig->downloader->post (new message::NextPackageResponse (0, 1, FakeModel::packageFor (0)));
    rig->downloader->post (new message::NextPackageResponse (1, 1, {}));
    testing_support::drainMessages();

    EXPECT_TRUE (rig->journal.entries().empty());
    EXPECT_FALSE (rig->downloader->isThreadRunning());
}

TEST (DownloaderCollection, OutOfOrderResponsesEndTheirChainAndAnIncompleteQueueIsNeverSent)
{
    auto rig = interactiveRig();
    rig->controller.setRoutes (rig->downloader.get(), nullptr); // answer by hand instead of the model
    rig->clickUpdate();
    testing_support::drainMessages();
    ASSERT_EQ (rig->controller.count (message::Code::nextPackageRequest), 1u);

    auto answer = [&] (juce::uint32 index, juce::uint32 total)
    {
        const auto package =
            index < total ? FakeModel::packageFor (static_cast<int> (index)) : juce::Array<juce::uint8>();
        rig->downloader->post (new message::NextPackageResponse (index, total, package));
        testing_support::drainMessages();
    };

    answer (1, 2); // a package skipped
    answer (0, 2);
    answer (0, 2); // the same package again
    EXPECT_EQ (rig->controller.count (message::Code::nextPackageRequest), 2u);

    answer (2, 2); // the end, with one package missing
    EXPECT_FALSE (rig->downloader->isThreadRunning());
    EXPECT_TRUE (rig->journal.sent().empty());

    answer (1, 2);
    answer (2, 2);
    ASSERT_TRUE (rig->runToEnd());
    EXPECT_EQ (rig->journal.sent(),
               (std::vector<juce::Array<juce::uint8>>{FakeModel::packageFor (0), FakeModel::packageFor (1)}));
}
