#pragma once

#include "CallJournal.h"
#include "FakeController.h"
#include "FakeMidi.h"
#include "FakeModel.h"
#include "downloader/Downloader.h"

#include <memory>

namespace downloader_test
{

/**
    A downloader wired as in the application, with fakes around it: the fake
    controller routes between the downloader and a small fake model, and the
    fake transport stands in for the pedal. Members are destroyed in reverse
    order, so the downloader (and its thread) goes first.
*/
class TransferRig
{
public:
    TransferRig (bool autoUpdate, int numPackages, downloader::Pacing pacing = tinyPacing());

    /** Pauses of a millisecond or none, and three rounds after the first package. */
    static downloader::Pacing tinyPacing();

    /** What the update button does: an UpdateRequest to the controller. */
    void clickUpdate();

    /** True once the transfer has reported a result and its thread has ended. */
    bool finished() const;

    /** Pumps messages until finished(), then a little longer so that late
        responses are delivered too. True if it finished in time. */
    bool runToEnd (int timeoutMs = 10000);

    /** Pumps messages until the journal holds this many entries of a kind. */
    bool pumpUntilCount (CallJournal::Kind kind, size_t count, int timeoutMs = 5000);

    /**
        The downloader thread's activity as a compact trace: "S<n>" a package sent
        (n is its index), "P" a progress post, "C" closeDevice, "F" findDevice,
        "Q" the revision query, "U" an UpdateStatus post, "V" an SVNUpdate post.
    */
    juce::String threadTrace() const;

    CallJournal journal;
    FakeMidi midi{journal};
    FakeController controller{journal};
    FakeModel model;
    std::unique_ptr<downloader::Downloader> downloader;
};

/** The data of a revision reply from the pedal carrying this revision. */
juce::Array<juce::uint8> revisionReply (juce::int32 revision, juce::uint8 modelByte = 0x2E);

/** The data of the revision query to the Verrano2 (model byte 2E). */
juce::Array<juce::uint8> revisionQuery();

} // namespace downloader_test
