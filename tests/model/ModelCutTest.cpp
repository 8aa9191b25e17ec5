// How the model cuts images that are not the stored one: missing or stray bytes
// at the end, empty and missing images. None of them may make it read past the
// image's last byte.
#include "firmware/FirmwareBaseClass.h"
#include "message/Messages.h"
#include "model/Model.h"
#include "support/MessagePump.h"
#include "support/RecordingListener.h"

#include <gtest/gtest.h>

#include <vector>

using testing_support::drainMessages;
using Bytes = std::vector<juce::uint8>;

namespace
{
/**
    A record over a few bytes of the test's own. The bytes sit in a larger buffer
    whose bytes after the image are F7, so a cut that reads past the image's end
    finds an F7 there and serves a package longer than the image allows.
*/
class SmallRecord : public FirmwareBaseClass
{
public:
    explicit SmallRecord (const Bytes& image)
        : FirmwareBaseClass ("Tiny", "0.1", 7)
        , storage (image)
    {
        storage.insert (storage.end(), 4, 0xF7);
        data = storage.data();
        size = static_cast<juce::int64> (image.size());
    }

    /** A record claiming `claimedSize` bytes at `bytes` (which may be null). */
    SmallRecord (const juce::uint8* bytes, juce::int64 claimedSize)
        : FirmwareBaseClass ("Tiny", "0.1", 7)
    {
        data = bytes;
        size = claimedSize;
    }

private:
    Bytes storage;
};

/** The package bytes of every response, in order, until the first empty one. */
std::vector<Bytes> packagesServed (model::Model& model, testing_support::RecordingListener& controller,
                                   int requests)
{
    for (int i = 0; i < requests; ++i)
        model.post (new message::NextPackageRequest());
    drainMessages();

    std::vector<Bytes> result;
    for (auto& m : controller.received)
        if (auto* r = dynamic_cast<const message::NextPackageResponse*> (m.get()))
            if (!r->package.isEmpty())
                result.emplace_back (r->package.begin(), r->package.end());
    return result;
}

const message::NextPackageResponse* lastResponse (testing_support::RecordingListener& controller)
{
    for (auto it = controller.received.rbegin(); it != controller.received.rend(); ++it)
        if (auto* r = dynamic_cast<const message::NextPackageResponse*> (it->get()))
            return r;
    return nullptr;
}
} // namespace

//==============================================================================
TEST (ModelCut, ImageWithoutFinalF7ServesTheRestAsTheLastPackage)
{
    SmallRecord record ({0xF0, 0x01, 0x02, 0xF7, 0xF0, 0x03, 0x04});
    testing_support::RecordingListener controller;
    model::Model model (&controller, &record);

    auto packages = packagesServed (model, controller, 4);

    EXPECT_EQ (packages, (std::vector<Bytes>{{0xF0, 0x01, 0x02, 0xF7}, {0xF0, 0x03, 0x04}}));
    auto* end = lastResponse (controller);
    ASSERT_NE (end, nullptr);
    EXPECT_EQ (end->index, 3u);
    EXPECT_EQ (end->total, 2u);
    EXPECT_TRUE (end->package.isEmpty());
}

TEST (ModelCut, StrayBytesAfterTheLastF7StopAtTheImageEnd)
{
    SmallRecord record ({0xF0, 0x01, 0xF7, 0x05, 0x06});
    testing_support::RecordingListener controller;
    model::Model model (&controller, &record);

    auto packages = packagesServed (model, controller, 3);

    EXPECT_EQ (packages, (std::vector<Bytes>{{0xF0, 0x01, 0xF7}, {0x05, 0x06}}));
    EXPECT_EQ (lastResponse (controller)->total, 2u);
}

TEST (ModelCut, ImageWithoutAnyF7IsOnePackage)
{
    SmallRecord record ({0x01, 0x02, 0x03});
    testing_support::RecordingListener controller;
    model::Model model (&controller, &record);

    EXPECT_EQ (packagesServed (model, controller, 2), (std::vector<Bytes>{{0x01, 0x02, 0x03}}));
    EXPECT_EQ (lastResponse (controller)->total, 1u);
}

TEST (ModelCut, CountAlwaysMatchesWhatIsServed)
{
    const std::vector<Bytes> images{
        {0xF7}, {0xF7, 0xF7, 0xF7}, {0xF0, 0xF7, 0x00}, {0x00, 0xF7, 0xF0, 0x11, 0x22, 0xF7}};

    for (auto& image : images)
    {
        SmallRecord record (image);
        testing_support::RecordingListener controller;
        model::Model model (&controller, &record);

        auto packages = packagesServed (model, controller, 8);

        Bytes joined;
        for (auto& p : packages)
            joined.insert (joined.end(), p.begin(), p.end());

        EXPECT_EQ (joined, image);
        EXPECT_EQ (lastResponse (controller)->total, packages.size());
    }
}

TEST (ModelCut, RewindWorksOnAnImageWithoutFinalF7)
{
    SmallRecord record ({0xF0, 0x01, 0xF7, 0x02});
    testing_support::RecordingListener controller;
    model::Model model (&controller, &record);

    packagesServed (model, controller, 5);
    controller.received.clear();
    model.post (new message::UpdateRequest());

    auto again = packagesServed (model, controller, 1);
    EXPECT_EQ (again, (std::vector<Bytes>{{0xF0, 0x01, 0xF7}}));
    EXPECT_EQ (lastResponse (controller)->index, 0u);
}

//==============================================================================
TEST (ModelCut, EmptyAndMissingImagesServeNothing)
{
    const juce::uint8 someBytes[] = {0xF0, 0x00, 0x6C, 0x51, 0x00, 0x2E, 0x51, 0x01, 0xF7};
    SmallRecord empty (someBytes, 0);
    SmallRecord missing (nullptr, 0);
    SmallRecord sizeWithoutBytes (nullptr, 600);

    for (auto* record : {&empty, &missing, &sizeWithoutBytes})
    {
        testing_support::RecordingListener controller;
        model::Model model (&controller, record);

        model.post (new message::NextPackageRequest());
        model.post (new message::NextPackageRequest());
        model.post (new message::ModelIdRequest());
        drainMessages();

        ASSERT_EQ (controller.received.size(), 3u);
        auto* first = controller.nth<message::NextPackageResponse> (0);
        auto* second = controller.nth<message::NextPackageResponse> (1);
        EXPECT_EQ (first->index, 0u);
        EXPECT_EQ (first->total, 0u);
        EXPECT_TRUE (first->package.isEmpty());
        EXPECT_EQ (second->index, 1u);
        EXPECT_TRUE (second->package.isEmpty());
        EXPECT_EQ (controller.nth<message::ModelIdResponse>()->modelId, 0);
    }
}

TEST (ModelCut, ModelByteOfAnImageTooShortToHoldItIsZero)
{
    SmallRecord fiveBytes ({0xF0, 0x00, 0x6C, 0x51, 0x00});
    SmallRecord sixBytes ({0xF0, 0x00, 0x6C, 0x51, 0x00, 0x2E});

    testing_support::RecordingListener controller;
    model::Model shortModel (&controller, &fiveBytes);
    model::Model longEnough (&controller, &sixBytes);

    shortModel.post (new message::ModelIdRequest());
    longEnough.post (new message::ModelIdRequest());
    drainMessages();

    ASSERT_EQ (controller.received.size(), 2u);
    EXPECT_EQ (controller.nth<message::ModelIdResponse> (0)->modelId, 0);
    EXPECT_EQ (controller.nth<message::ModelIdResponse> (1)->modelId, 0x2E);
}

TEST (ModelCut, WithoutARecordThereIsNoRevisionToReport)
{
    testing_support::RecordingListener controller;
    model::Model model (&controller, nullptr);

    model.post (new message::SVNNumberRequest());
    model.post (new message::NextPackageRequest());
    model.post (new message::ProductInfoRequest());
    drainMessages();

    // A made-up revision could match a pedal whose boot loader failed (it reports 0).
    EXPECT_EQ (controller.count (message::Code::svnUpdate), 0u);
    ASSERT_NE (controller.nth<message::NextPackageResponse>(), nullptr);
    EXPECT_TRUE (controller.nth<message::NextPackageResponse>()->package.isEmpty());
    EXPECT_EQ (controller.count (message::Code::productInfoResponse), 1u);
}

TEST (ModelCut, SentenceIsBuiltFromTheRecord)
{
    SmallRecord record ({0xF7});
    testing_support::RecordingListener controller;
    model::Model model (&controller, &record);

    model.post (new message::ProductInfoRequest());
    model.post (new message::SVNNumberRequest());
    drainMessages();

    EXPECT_EQ (controller.nth<message::ProductInfoResponse>()->productInfo,
               "This software updater will update your Tiny firmware to version 0.1 - R7");
    EXPECT_TRUE (controller.nth<message::SVNUpdate>()->isEqual (message::SVNUpdate (7, 3)));
}
