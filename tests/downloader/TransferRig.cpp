#include "TransferRig.h"

#include "support/MessagePump.h"
#include "support/RevisionAnswer.h"

namespace downloader_test
{

TransferRig::TransferRig (bool autoUpdate, int numPackages, downloader::Pacing pacing)
    : model (controller, numPackages)
    , downloader (std::make_unique<downloader::Downloader> (&controller, &midi, autoUpdate, pacing))
{
    controller.setRoutes (downloader.get(), &model);
}

downloader::Pacing TransferRig::tinyPacing()
{
    downloader::Pacing pacing;
    pacing.waitRounds = 3;
    pacing.waitStepMs = 1;
    pacing.interactiveGapMs = 1;
    pacing.autoUpdateGapMs = 0;
    pacing.reconnectPauseMs = 1;
    return pacing;
}

void TransferRig::clickUpdate()
{
    controller.post (new message::UpdateRequest());
}

bool TransferRig::finished() const
{
    return (controller.count (message::Code::updateStatus) + controller.count (message::Code::svnUpdate)) >
               0 &&
           !downloader->isThreadRunning();
}

bool TransferRig::runToEnd (int timeoutMs)
{
    const bool done = testing_support::pumpUntil ([this] { return finished(); }, timeoutMs);
    testing_support::drainMessages (8);
    return done;
}

bool TransferRig::pumpUntilCount (CallJournal::Kind kind, size_t count, int timeoutMs)
{
    return testing_support::pumpUntil ([this, kind, count] { return journal.count (kind) >= count; },
                                       timeoutMs);
}

juce::String TransferRig::threadTrace() const
{
    juce::StringArray steps;

    for (auto& e : journal.entries())
    {
        if (e.threadName != "Downloader")
            continue;

        // One letter a call, in the order of CallJournal::Kind; a package also names its
        // number, a post its message.
        static constexpr const char* letters[] = {"S", "F", "C", "N", "Q", ""};
        juce::String step = letters[static_cast<int> (e.kind)];

        if (e.kind == CallJournal::Kind::sendSysEx)
            step << (e.bytes.size() > 8 ? e.bytes[7] + (e.bytes[8] << 7) : -1);
        else if (e.kind == CallJournal::Kind::post)
            step = e.value == message::Code::progressUpdate ? "P"
                   : e.value == message::Code::updateStatus ? "U"
                   : e.value == message::Code::svnUpdate    ? "V"
                                                            : juce::String (e.value);
        steps.add (step);
    }
    return steps.joinIntoString (" ");
}

juce::Array<juce::uint8> revisionReply (juce::int32 revision, juce::uint8 modelByte)
{
    return testing_support::revisionAnswer (static_cast<juce::uint32> (revision), 4, modelByte);
}

juce::Array<juce::uint8> revisionQuery()
{
    const juce::uint8 query[] = {0x00, 0x6c, 0x51, 0x00, 0x2e, 0x03};
    return {query, 6};
}

} // namespace downloader_test
