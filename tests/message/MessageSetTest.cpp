// Type codes, payload equality, and what unknown codes do to the components.
#include "controller/Controller.h"
#include "firmware/FirmwareClass.h"
#include "message/Messages.h"
#include "model/Model.h"
#include "support/MessagePump.h"
#include "support/RecordingListener.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

using namespace message;

//==============================================================================
TEST (MessageCodes, EveryClassCarriesItsFixedCode)
{
    const juce::Array<juce::uint8> noBytes;
    const std::vector<std::pair<std::unique_ptr<BaseMessage>, int>> expected = [&]
    {
        std::vector<std::pair<std::unique_ptr<BaseMessage>, int>> v;
        v.emplace_back (std::make_unique<HelpRequest>(), 0);
        v.emplace_back (std::make_unique<HelpResponse> ("h"), 1);
        v.emplace_back (std::make_unique<CloseRequest>(), 2);
        v.emplace_back (std::make_unique<UpdateRequest>(), 3);
        v.emplace_back (std::make_unique<ProductInfoRequest>(), 4);
        v.emplace_back (std::make_unique<ProductInfoResponse> ("p"), 5);
        v.emplace_back (std::make_unique<UpdateButtonEnable>(), 6);
        v.emplace_back (std::make_unique<UpdateButtonDisable>(), 7);
        v.emplace_back (std::make_unique<TextMessage> ("t"), 10);
        v.emplace_back (std::make_unique<NextPackageRequest>(), 11);
        v.emplace_back (std::make_unique<NextPackageResponse> (0u, 0u, noBytes), 12);
        v.emplace_back (std::make_unique<ProgressUpdate> (0.5), 13);
        v.emplace_back (std::make_unique<ModelIdRequest>(), 14);
        v.emplace_back (std::make_unique<ModelIdResponse> (juce::uint8{0x2E}), 15);
        v.emplace_back (std::make_unique<SVNUpdate> (1222, 3), 16);
        v.emplace_back (std::make_unique<SVNNumberRequest>(), 17);
        v.emplace_back (std::make_unique<DeviceNotFound>(), 19);
        v.emplace_back (std::make_unique<DeviceFound> ("d"), 20);
        v.emplace_back (std::make_unique<UpdateStatus> (0), 21);
        return v;
    }();

    for (auto& [m, code] : expected)
        EXPECT_EQ (m->type, code);

    // No two classes share a code, and a message never equals one of another class.
    for (size_t i = 0; i < expected.size(); ++i)
        for (size_t j = 0; j < expected.size(); ++j)
        {
            if (i != j)
            {
                EXPECT_FALSE (expected[i].first->isEqual (*expected[j].first)) << i << " vs " << j;
            }
        }
}

//==============================================================================
TEST (MessageEquality, TextsCompareCharacterForCharacter)
{
    EXPECT_TRUE (
        TextMessage ("Firmware upgrade successful").isEqual (TextMessage ("Firmware upgrade successful")));
    EXPECT_FALSE (TextMessage ("Device: Boot").isEqual (TextMessage ("Device: boot")));
    EXPECT_FALSE (TextMessage ("a").isEqual (TextMessage ("a ")));
    EXPECT_TRUE (TextMessage ("").isEqual (TextMessage (juce::String())));

    EXPECT_FALSE (HelpResponse ("Help").isEqual (HelpResponse ("help")));
    EXPECT_FALSE (ProductInfoResponse ("R1222").isEqual (ProductInfoResponse ("r1222")));
    EXPECT_FALSE (DeviceFound ("Verrano2 Boot").isEqual (DeviceFound ("Verrano2 BOOT")));
    EXPECT_TRUE (DeviceFound ("Verrano2 Boot").isEqual (DeviceFound ("Verrano2 Boot")));

    // Same text, different class.
    EXPECT_FALSE (TextMessage ("x").isEqual (DeviceFound ("x")));
    EXPECT_FALSE (HelpResponse ("x").isEqual (ProductInfoResponse ("x")));
}

TEST (MessageEquality, ProgressComparesAsDoubles)
{
    const auto nan = std::numeric_limits<double>::quiet_NaN();
    ProgressUpdate notANumber (nan);

    EXPECT_FALSE (notANumber.isEqual (notANumber));
    EXPECT_FALSE (notANumber.isEqual (ProgressUpdate (nan)));
    EXPECT_FALSE (ProgressUpdate (0.0).isEqual (notANumber));
    EXPECT_TRUE (ProgressUpdate (0.6).isEqual (ProgressUpdate (0.6)));
    EXPECT_TRUE (ProgressUpdate (0.0).isEqual (ProgressUpdate (-0.0)));
    EXPECT_FALSE (ProgressUpdate (1.0).isEqual (ProgressUpdate (0.9999999999)));
}

TEST (MessageEquality, PackagesCompareIndexTotalAndEveryByte)
{
    const juce::uint8 raw[] = {0xF0, 0x00, 0x6C, 0x51, 0x00, 0x2E, 0x51, 0x01, 0xF7};
    const juce::Array<juce::uint8> bytes (raw, 9);
    auto changedByte = bytes;
    changedByte.set (7, 0x02);
    auto shorter = bytes;
    shorter.removeLast();

    const NextPackageResponse reference (3, 492, bytes);

    EXPECT_TRUE (reference.isEqual (NextPackageResponse (3, 492, bytes)));
    EXPECT_FALSE (reference.isEqual (NextPackageResponse (4, 492, bytes)));
    EXPECT_FALSE (reference.isEqual (NextPackageResponse (3, 491, bytes)));
    EXPECT_FALSE (reference.isEqual (NextPackageResponse (3, 492, changedByte)));
    EXPECT_FALSE (reference.isEqual (NextPackageResponse (3, 492, shorter)));
    EXPECT_FALSE (NextPackageResponse (3, 492, shorter).isEqual (reference));
    EXPECT_TRUE (NextPackageResponse (492, 492, {}).isEqual (NextPackageResponse (492, 492, {})));
}

TEST (MessageEquality, NumbersCompareTheirOwnFields)
{
    // The model byte is compared on its 8 bits: 0x12E arrives as 0x2E.
    const int wideModelId = 0x12E;
    EXPECT_TRUE (ModelIdResponse (static_cast<juce::uint8> (wideModelId)).isEqual (ModelIdResponse (0x2E)));
    EXPECT_FALSE (ModelIdResponse (0x2E).isEqual (ModelIdResponse (0x2F)));

    EXPECT_TRUE (SVNUpdate (1222, 3).isEqual (SVNUpdate (1222, 3)));
    EXPECT_FALSE (SVNUpdate (1222, 3).isEqual (SVNUpdate (1222, 2)));
    EXPECT_FALSE (SVNUpdate (1222, 3).isEqual (SVNUpdate (1187, 3)));
    EXPECT_FALSE (SVNUpdate (-1, 2).isEqual (SVNUpdate (-1, 3)));

    EXPECT_TRUE (UpdateStatus (7).isEqual (UpdateStatus (7)));
    EXPECT_FALSE (UpdateStatus (1).isEqual (UpdateStatus (7)));

    EXPECT_TRUE (HelpRequest().isEqual (HelpRequest()));
    EXPECT_FALSE (UpdateButtonEnable().isEqual (UpdateButtonDisable()));
}

//==============================================================================
class UnknownCodes : public ::testing::TestWithParam<bool>
{
};

TEST_P (UnknownCodes, ChangeNothingInControllerOrModel)
{
    const bool interactive = GetParam();
    testing_support::RecordingListener view, downloader, modelSide;
    int quitCalls = 0;

    FirmwareClass firmware;
    controller::Controller hub ([&] { ++quitCalls; });
    model::Model model (&hub, &firmware);
    hub.setView (&view);
    hub.setModel (&model);
    hub.setDownloader (&downloader);
    hub.start (interactive);
    testing_support::drainMessages();

    const auto viewBefore = view.received.size();
    const auto downloaderBefore = downloader.received.size();

    // The model answers straight into a recorder here, so its silence is visible.
    model::Model lonelyModel (&modelSide, &firmware);

    for (int code : {8, 9, 18, 22, 100, -1})
    {
        hub.post (new BaseMessage (code));
        lonelyModel.post (new BaseMessage (code));
    }
    testing_support::drainMessages();

    EXPECT_EQ (view.received.size(), viewBefore);
    EXPECT_EQ (downloader.received.size(), downloaderBefore);
    EXPECT_TRUE (modelSide.received.empty());
    EXPECT_EQ (quitCalls, 0);
    // Nothing was updated: only an interactive run that tried nothing may say 0.
    EXPECT_EQ (hub.getExitCode(), interactive ? 0 : -1);

    // The model's cursor has not moved: the next package is still the first.
    lonelyModel.post (new NextPackageRequest());
    testing_support::drainMessages();
    ASSERT_EQ (modelSide.received.size(), 1u);
    EXPECT_EQ (modelSide.nth<NextPackageResponse>()->index, 0u);
}

INSTANTIATE_TEST_SUITE_P (BothModes, UnknownCodes, ::testing::Values (true, false));
