#include "model/Model.h"

#include <algorithm>

namespace model
{

namespace
{
// The update procedure, line for line as the help window shows it.
const char* const helpText =
    "Firmware Update Procedure. \n"
    "The procedure requires a PC or Mac with a standard USB Interface and a 9V/100mA DC power supply. \n"
    "\n"
    "Do following steps before you start the firmware update application on your PC or Mac: \n"
    " 1. Unplug all cables from the pedal. \n"
    " 2. Remove the battery. \n"
    " 3. Connect the pedal to a PC or Mac with the USB cable. \n"
    " 4. Press and hold the footswitch on the pedal. \n"
    " 5. Insert a DC plug with 9V/100mA power supply. \n"
    " 6. Check that the LED on the pedal turns on with green light. \n"
    " 7. Release the footswitch. \n"
    "\n"
    "Now your PC or Mac will recognize the pedal which is ready to receive a new firmware: \n"
    " 8. Launch the firmware update application. \n"
    " 9. (STEP1) Select the pedal in the combo box (see note). \n"
    "10. (STEP2) Press the update button when it turns green. \n"
    "11. Wait for the progress bar to reach 100% and for the pedal to automatically restart. \n"
    "\n"
    "Note: You should select \"USB Audio Device\", if you use Windows XP.\n"
    "\n"
    "\n"
    "Trouble Shooting:\n"
    " - Please quit any MIDI related application on your PC or Mac.\n";

// The model byte stands at this position of the image's first package.
constexpr juce::uint32 modelBytePosition = 5;

constexpr juce::uint8 endOfSysEx = 0xF7;
} // namespace

//==============================================================================
Model::Model (controller::ControllerIF* controllerToUse, FirmwareBaseClass* firmwareRecord)
    : ModelInterface (controllerToUse)
    , firmware (firmwareRecord)
{
    readPosition = imageStart();

    // Counted with the very cut that later serves the packages, so `total` always
    // matches the number of non-empty packages the downloader will receive.
    while (!getNextPackage().isEmpty())
        ++packageCount;

    rewind();
}

Model::~Model() = default;

//==============================================================================
void Model::processMessage (message::BaseMessage& message)
{
    switch (message.type)
    {
        case message::Code::helpRequest:
            reply (std::make_unique<message::HelpResponse> (getHelpText()));
            break;

        case message::Code::updateRequest:
            rewind();
            break;

        case message::Code::productInfoRequest:
            reply (std::make_unique<message::ProductInfoResponse> (composeProductSentence()));
            break;

        case message::Code::nextPackageRequest:
        {
            auto package = getNextPackage();
            reply (std::make_unique<message::NextPackageResponse> (nextPackageIndex, packageCount, package));
            // Past the end too: every further request carries an index one higher.
            ++nextPackageIndex;
            break;
        }

        case message::Code::modelIdRequest:
            reply (std::make_unique<message::ModelIdResponse> (readModelByte()));
            break;

        case message::Code::svnNumberRequest:
            // Without a record there is no revision to report; answering 0 would let a
            // pedal whose boot loader failed (it reports 0) pass for updated.
            if (firmware != nullptr)
                reply (std::make_unique<message::SVNUpdate> (firmware->getSVNNumber(),
                                                             message::RevisionSource::revisionFromImage));
            break;

        default:
            break;
    }
}

//==============================================================================
juce::Array<juce::uint8> Model::getNextPackage()
{
    const auto size = imageSize();

    if (readPosition == nullptr || bytesServed >= size)
        return {};

    const auto* imageEnd = imageStart() + size;
    const auto* closingByte = std::find (readPosition, imageEnd, endOfSysEx);

    // An image that does not end with F7 still stops at its last byte: the rest is
    // served as one final package and the cut ends there.
    const auto* packageEnd = closingByte == imageEnd ? imageEnd : closingByte + 1;
    const auto length = static_cast<juce::uint32> (packageEnd - readPosition);

    juce::Array<juce::uint8> package (readPosition, static_cast<int> (length));
    bytesServed += length;
    readPosition = packageEnd;
    return package;
}

juce::String Model::getProductName() const
{
    return firmware != nullptr ? firmware->getProductName() : juce::String();
}

juce::String Model::getVersion() const
{
    return firmware != nullptr ? firmware->getVersion() : juce::String();
}

juce::String Model::getSVNNumberText() const
{
    return firmware != nullptr ? juce::String (firmware->getSVNNumber()) : juce::String();
}

juce::String Model::getHelpText() const
{
    return helpText;
}

juce::StringArray Model::bootLoaderSteps()
{
    // The help text's first numbered list: the steps before the updater starts.
    const auto isStep = [] (const juce::String& line)
    {
        const auto text = line.trimStart();
        const auto number = text.initialSectionContainingOnly ("0123456789");
        return number.isNotEmpty() && text.substring (number.length()).startsWith (". ");
    };

    juce::StringArray steps;
    for (const auto& line : juce::StringArray::fromLines (helpText))
    {
        if (isStep (line))
            steps.add (line.fromFirstOccurrenceOf (".", false, false).trim());
        else if (!steps.isEmpty())
            break;
    }
    return steps;
}

void Model::rewind()
{
    readPosition = imageStart();
    nextPackageIndex = 0;
    bytesServed = 0;
}

//==============================================================================
const juce::uint8* Model::imageStart() const
{
    return firmware != nullptr ? firmware->getData() : nullptr;
}

juce::uint32 Model::imageSize() const
{
    // A record with a size but no bytes has nothing that could be read.
    return imageStart() != nullptr ? firmware->getSize() : 0;
}

juce::String Model::composeProductSentence() const
{
    return "This software updater will update your " + getProductName() + " firmware to version " +
           getVersion() + " - R" + getSVNNumberText();
}

juce::uint8 Model::readModelByte() const
{
    // Read from the start of the image every time, wherever the cursor stands. An
    // image too short to hold the byte reports 0, which matches no pedal, so the
    // search ends in DeviceNotFound instead of waiting for an answer that never comes.
    if (imageSize() <= modelBytePosition)
        return 0;

    return imageStart()[modelBytePosition];
}

void Model::reply (std::unique_ptr<message::BaseMessage> message)
{
    if (controller != nullptr)
        controller->post (message.release());
}

} // namespace model
