// The model's cut over any image: served one NextPackageRequest at a time, the
// packages are never empty, each ends with its first F7 (the last one may instead
// end with the image), together they are the image byte for byte, and their number
// is the total that every response carries. After the end, requests get empty
// packages with rising indexes; an UpdateRequest starts the cut again from the
// first package; the model byte is byte 5 of the image whatever the cursor does.
//
// Input: one byte of flags (bit 0: a record with a size but no bytes), then the image.

#include "message/Messages.h"
#include "model/Model.h"
#include "support/CapturingController.h"
#include "support/FuzzCheck.h"
#include "support/FuzzTarget.h"
#include "support/FuzzedImage.h"

#include <cstddef>
#include <cstdint>

using fuzzing::CapturingController;

namespace
{

using MessagePtr = juce::ReferenceCountedObjectPtr<message::BaseMessage>;

/** Hands the model one request, the way the message loop would, and returns its replies. */
std::vector<MessagePtr> ask (model::Model& model, CapturingController& controller,
                             message::BaseMessage* request)
{
    const MessagePtr held (request);
    model.processMessage (*request);
    return controller.take();
}

const message::NextPackageResponse& onlyPackageResponse (const std::vector<MessagePtr>& replies)
{
    FUZZ_CHECK (replies.size() == 1);
    const auto* response = dynamic_cast<const message::NextPackageResponse*> (replies.front().get());
    FUZZ_CHECK (response != nullptr);
    return *response;
}

} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    // Components are message listeners, which expect a message manager to exist.
    juce::MessageManager::getInstance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;

    const bool withoutBytes = (data[0] & 1) != 0;
    const auto* image = data + 1;
    const auto imageSize = size - 1;

    fuzzing::FuzzedImage record (withoutBytes ? nullptr : image, imageSize);
    CapturingController controller;
    model::Model model (&controller, &record);

    //==============================================================================
    juce::Array<juce::uint8> joined;
    juce::Array<juce::uint8> firstPackage;
    juce::uint32 total = 0;

    for (juce::uint32 index = 0;; ++index)
    {
        const auto replies = ask (model, controller, new message::NextPackageRequest());
        const auto& response = onlyPackageResponse (replies);
        const auto& package = response.package;

        if (index == 0)
            total = response.total;

        FUZZ_CHECK (response.index == index);
        FUZZ_CHECK (response.total == total);

        if (index == total)
        {
            FUZZ_CHECK (package.isEmpty());
            break;
        }

        FUZZ_CHECK (!package.isEmpty());
        FUZZ_CHECK (index <= imageSize);

        // Cut at the first F7: none before the package's last byte, and only the
        // image's last package may end without one.
        FUZZ_CHECK (package.indexOf (0xf7) == package.size() - 1 || package.indexOf (0xf7) < 0);
        FUZZ_CHECK (package.getLast() == 0xf7 || index + 1 == total);

        if (index == 0)
            firstPackage = package;

        joined.addArray (package);
    }

    if (withoutBytes)
        FUZZ_CHECK (total == 0);
    else
        FUZZ_CHECK (joined == juce::Array<juce::uint8> (image, static_cast<int> (imageSize)));

    // Past the end: empty packages, the index still counting.
    const auto pastReplies = ask (model, controller, new message::NextPackageRequest());
    const auto& past = onlyPackageResponse (pastReplies);
    FUZZ_CHECK (past.index == total + 1 && past.total == total && past.package.isEmpty());

    //==============================================================================
    const auto expectedModelByte = !withoutBytes && imageSize > 5 ? image[5] : 0;
    const auto modelIdReplies = ask (model, controller, new message::ModelIdRequest());
    FUZZ_CHECK (modelIdReplies.size() == 1);
    const auto* modelId = dynamic_cast<const message::ModelIdResponse*> (modelIdReplies.front().get());
    FUZZ_CHECK (modelId != nullptr && modelId->modelId == expectedModelByte);

    // A new update starts again from the first package.
    FUZZ_CHECK (ask (model, controller, new message::UpdateRequest()).empty());
    const auto againReplies = ask (model, controller, new message::NextPackageRequest());
    const auto& again = onlyPackageResponse (againReplies);
    FUZZ_CHECK (again.index == 0 && again.total == total && again.package == firstPackage);
    return 0;
}
