// The model serving the embedded image, driven through the message loop.
#include "firmware/FirmwareClass.h"
#include "firmware/FirmwareImage.h"
#include "message/Messages.h"
#include "model/Model.h"
#include "support/MessagePump.h"
#include "support/RecordingListener.h"

#include <gtest/gtest.h>

#include <cstring>

using testing_support::drainMessages;

namespace
{
class StoredImageModel : public ::testing::Test
{
protected:
    /** Asks for `count` packages and returns the responses that came back. */
    std::vector<const message::NextPackageResponse*> requestPackages (int count)
    {
        const auto before = controller.received.size();

        for (int i = 0; i < count; ++i)
            model.post (new message::NextPackageRequest());
        drainMessages();

        std::vector<const message::NextPackageResponse*> responses;
        for (auto i = before; i < controller.received.size(); ++i)
            if (auto* r = dynamic_cast<const message::NextPackageResponse*> (controller.received[i].get()))
                responses.push_back (r);
        return responses;
    }

    /** Sends one request and returns the single reply. */
    template<typename Reply>
    const Reply* ask (message::BaseMessage* request)
    {
        const auto before = controller.received.size();
        model.post (request);
        drainMessages();

        if (controller.received.size() != before + 1)
            return nullptr;
        return dynamic_cast<const Reply*> (controller.received.back().get());
    }

    testing_support::RecordingListener controller;
    FirmwareClass firmware;
    model::Model model{&controller, &firmware};
};

const juce::uint8 deviceHeader[] = {0x00, 0x6C, 0x51, 0x00, 0x2E};
} // namespace

//==============================================================================
TEST_F (StoredImageModel, ServesTheImageAs492PackagesInOrder)
{
    auto responses = requestPackages (492);
    ASSERT_EQ (responses.size(), 492u);

    juce::Array<juce::uint8> joined;

    for (juce::uint32 i = 0; i < 492; ++i)
    {
        const auto& r = *responses[i];
        const auto& p = r.package;
        SCOPED_TRACE ("package " + std::to_string (i));

        EXPECT_EQ (r.index, i);
        EXPECT_EQ (r.total, 492u);
        ASSERT_EQ (p.size(), (i == 0 || i == 491) ? 9 : 599);

        EXPECT_EQ (p.getFirst(), 0xF0);
        EXPECT_EQ (p.getLast(), 0xF7);
        for (int k = 1; k < p.size() - 1; ++k)
            ASSERT_LT (p[k], 0x80) << "at byte " << k;

        for (int k = 0; k < 5; ++k)
            EXPECT_EQ (p[k + 1], deviceHeader[k]);
        EXPECT_EQ (p[6], i == 0 ? 0x51 : 0x52);

        joined.addArray (p);
    }

    // Nothing lost, doubled or reordered: the packages put together are the image.
    ASSERT_EQ (joined.size(), (int)firmwareImageSize);
    EXPECT_EQ (std::memcmp (joined.getRawDataPointer(), firmwareImage, firmwareImageSize), 0);

    // The first and last are the erase and end-of-image commands.
    const juce::uint8 last[] = {0xF0, 0x00, 0x6C, 0x51, 0x00, 0x2E, 0x52, 0x01, 0xF7};
    EXPECT_EQ (responses[491]->package, juce::Array<juce::uint8> (last, 9));
    EXPECT_EQ (responses[0]->package[7], 0x01);
}

TEST_F (StoredImageModel, PastTheEndAnswersEmptyWithRisingIndex)
{
    requestPackages (492);
    auto tail = requestPackages (3);

    ASSERT_EQ (tail.size(), 3u);
    for (juce::uint32 i = 0; i < 3; ++i)
    {
        EXPECT_EQ (tail[i]->index, 492u + i);
        EXPECT_EQ (tail[i]->total, 492u);
        EXPECT_TRUE (tail[i]->package.isEmpty());
    }
}

TEST_F (StoredImageModel, UpdateRequestRewindsMidwayAndAfterTheEnd)
{
    auto firstRun = requestPackages (3);
    ASSERT_EQ (firstRun.size(), 3u);

    model.post (new message::UpdateRequest());
    auto again = requestPackages (2);
    ASSERT_EQ (again.size(), 2u);
    EXPECT_EQ (again[0]->index, 0u);
    EXPECT_TRUE (again[0]->isEqual (*firstRun[0]));
    EXPECT_TRUE (again[1]->isEqual (*firstRun[1]));

    requestPackages (495);
    model.post (new message::UpdateRequest());
    auto afterEnd = requestPackages (492);

    ASSERT_EQ (afterEnd.size(), 492u);
    EXPECT_TRUE (afterEnd[0]->isEqual (*firstRun[0]));
    EXPECT_EQ (afterEnd[491]->index, 491u);
    EXPECT_EQ (afterEnd[491]->total, 492u);
    EXPECT_EQ (afterEnd[491]->package.size(), 9);
}

TEST_F (StoredImageModel, UpdateRequestItselfGetsNoReply)
{
    model.post (new message::UpdateRequest());
    drainMessages();
    EXPECT_TRUE (controller.received.empty());
}

//==============================================================================
TEST_F (StoredImageModel, ModelByteIsTheSameBeforeDuringAndAfterATransfer)
{
    auto* before = ask<message::ModelIdResponse> (new message::ModelIdRequest());
    requestPackages (100);
    auto* during = ask<message::ModelIdResponse> (new message::ModelIdRequest());
    requestPackages (400);
    auto* after = ask<message::ModelIdResponse> (new message::ModelIdRequest());

    ASSERT_NE (before, nullptr);
    ASSERT_NE (during, nullptr);
    ASSERT_NE (after, nullptr);
    EXPECT_EQ (before->modelId, 0x2E);
    EXPECT_EQ (during->modelId, 0x2E);
    EXPECT_EQ (after->modelId, 0x2E);
}

TEST_F (StoredImageModel, AnswersTheStartUpRequests)
{
    auto* sentence = ask<message::ProductInfoResponse> (new message::ProductInfoRequest());
    ASSERT_NE (sentence, nullptr);
    EXPECT_EQ (sentence->productInfo,
               "This software updater will update your Verrano2 firmware to version 1.2.00 - R1222");

    auto* revision = ask<message::SVNUpdate> (new message::SVNNumberRequest());
    ASSERT_NE (revision, nullptr);
    EXPECT_EQ (revision->revision, 1222);
    EXPECT_EQ (revision->source, 3);
}

TEST_F (StoredImageModel, HelpTextIsTheFixedProcedureEveryTime)
{
    auto* first = ask<message::HelpResponse> (new message::HelpRequest());
    auto* second = ask<message::HelpResponse> (new message::HelpRequest());
    ASSERT_NE (first, nullptr);
    ASSERT_NE (second, nullptr);
    EXPECT_NE (first, second);

    const auto& text = first->helpText;
    EXPECT_EQ (text.length(), 1019);
    EXPECT_EQ (text, second->helpText);

    int lineBreaks = 0;
    for (auto c : text)
        lineBreaks += c == '\n' ? 1 : 0;
    EXPECT_EQ (lineBreaks, 23);

    EXPECT_TRUE (text.startsWith ("Firmware Update Procedure. \n"));
    EXPECT_TRUE (text.contains ("\n 4. Press and hold the footswitch on the pedal. \n"));
    EXPECT_TRUE (
        text.contains ("select \"USB Audio Device\", if you use Windows XP.\n\n\nTrouble Shooting:\n"));
    EXPECT_TRUE (text.endsWith ("on your PC or Mac.\n"));

    // The first fifteen non-empty lines end in a space, the last three do not.
    juce::StringArray lines;
    lines.addTokens (text, "\n", "");
    lines.removeEmptyStrings();
    ASSERT_EQ (lines.size(), 18);
    for (int i = 0; i < lines.size(); ++i)
        EXPECT_EQ (lines[i].endsWithChar (' '), i < 15) << lines[i];

    // The steps to the boot loader that --help repeats: the first list, without the
    // numbers and the trailing blanks, and nothing of the second list.
    const juce::StringArray steps{"Unplug all cables from the pedal.",
                                  "Remove the battery.",
                                  "Connect the pedal to a PC or Mac with the USB cable.",
                                  "Press and hold the footswitch on the pedal.",
                                  "Insert a DC plug with 9V/100mA power supply.",
                                  "Check that the LED on the pedal turns on with green light.",
                                  "Release the footswitch."};
    EXPECT_EQ (model::Model::bootLoaderSteps(), steps);
}

TEST_F (StoredImageModel, OtherCodesGetNoReplyAndLeaveTheCursor)
{
    requestPackages (5);

    for (int code : {2, 21, 1, 5, 12, 13, 16, 20, 8, 9, 18, 22})
        model.post (new message::BaseMessage (code));
    drainMessages();

    auto next = requestPackages (1);
    ASSERT_EQ (controller.received.size(), 6u);
    ASSERT_EQ (next.size(), 1u);
    EXPECT_EQ (next[0]->index, 5u);
    EXPECT_EQ (next[0]->package.size(), 599);
}
