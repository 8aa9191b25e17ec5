#pragma once

#include "firmware/FirmwareBaseClass.h"
#include "message/Messages.h"
#include "model/ModelInterface.h"

#include <memory>

namespace model
{

/**
    Serves the firmware record to the rest of the updater.

    The model cuts the image into firmware packages, one per NextPackageRequest,
    each ending with (and including) the next F7 byte; it also answers the
    start-up requests for the product sentence, the model byte and the image's
    revision, supplies the help text, and rewinds to the first package when an
    update starts. Every reply is a new message posted to the controller.

    The cut never reads past the image's last byte: bytes that follow the last F7
    (or an image without any F7) are served as one final package, and an empty or
    missing image yields no packages at all.
*/
class Model : public ModelInterface
{
public:
    /** Neither pointer is owned; the record must outlive the model. */
    Model (controller::ControllerIF* controllerToUse, FirmwareBaseClass* firmwareRecord);
    ~Model() override;

    //==============================================================================
    /** Handles HelpRequest, UpdateRequest, ProductInfoRequest, NextPackageRequest,
        ModelIdRequest and SVNNumberRequest; every other code is ignored. */
    void processMessage (message::BaseMessage& message) override;

    //==============================================================================
    /** Cuts the next package and moves the cursor past it; empty once the image is used up. */
    virtual juce::Array<juce::uint8> getNextPackage();

    virtual juce::String getProductName() const;
    virtual juce::String getVersion() const;
    /** The image's revision as decimal text. */
    virtual juce::String getSVNNumberText() const;
    /** The fixed update procedure shown in the help window. */
    virtual juce::String getHelpText() const;

    /** The steps of the help text that put the pedal into its boot loader, in order and
        without their numbers ("Unplug all cables from the pedal.", ...): the one wording
        of them that the updater's other texts (--help, the man page, the README) repeat. */
    static juce::StringArray bootLoaderSteps();

    /** Puts the cursor back at the first package; the package count stays. */
    virtual void rewind();

    /** The model byte of the image, which addresses the pedal; 0 without a usable image. */
    juce::uint8 readModelByte() const;

private:
    //==============================================================================
    /** The image's first byte, or null when the record holds no usable image. */
    const juce::uint8* imageStart() const;
    /** The image's length, 0 when the record holds no usable image. */
    juce::uint32 imageSize() const;

    juce::String composeProductSentence() const;
    void reply (std::unique_ptr<message::BaseMessage> message);

    juce::uint32 nextPackageIndex = 0;
    juce::uint32 packageCount = 0;
    juce::uint32 bytesServed = 0;
    FirmwareBaseClass* firmware; // not owned
    const juce::uint8* readPosition = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Model)
};

} // namespace model
