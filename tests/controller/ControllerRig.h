#pragma once

#include "LoggingRecorder.h"

#include "controller/Controller.h"
#include "message/Messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testing_support
{

/**
    A controller wired to three recorders standing in for the model, the view and
    the downloader, with the quit action replaced by a counter that also notes the
    exit code at the moment of the quit.
*/
class ControllerRig : public ::testing::Test
{
protected:
    using Trace = std::vector<std::string>;

    /** Sets the three component pointers. */
    void wire();

    /** Wires, starts a run and forgets what the start-up posted. */
    void startRun (bool interactive);

    /** Posts to the controller as a component would and lets everything run. */
    void send (message::BaseMessage* m);

    /** Forgets every recorded delivery. */
    void forget();

    /** The text of the last status line sent to the view, or "<none>". */
    juce::String statusShown() const;

    /** The value of the last progress sent to the view, or -1 when none was. */
    double progressShown() const;

    /** Messages of the given class that reached `who`, in order. */
    template<typename MessageClass>
    std::vector<const MessageClass*> all (const RecordingListener& who) const
    {
        std::vector<const MessageClass*> result;
        for (auto& m : who.received)
            if (auto* typed = dynamic_cast<const MessageClass*> (m.get()))
                result.push_back (typed);
        return result;
    }

    std::vector<std::string> log;
    LoggingRecorder model{"model", log};
    LoggingRecorder view{"view", log};
    LoggingRecorder downloader{"downloader", log};

    int quitCalls = 0;
    std::vector<int> exitCodesAtQuit;

    controller::Controller hub{[this]
                               {
                                   ++quitCalls;
                                   exitCodesAtQuit.push_back (hub.getExitCode());
                               }};
};

} // namespace testing_support
