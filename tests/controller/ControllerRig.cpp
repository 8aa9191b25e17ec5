#include "ControllerRig.h"

#include "support/MessagePump.h"

namespace testing_support
{

void ControllerRig::wire()
{
    hub.setModel (&model);
    hub.setView (&view);
    hub.setDownloader (&downloader);
}

void ControllerRig::startRun (bool interactive)
{
    wire();
    hub.start (interactive);
    drainMessages();
    forget();
}

void ControllerRig::send (message::BaseMessage* m)
{
    hub.post (m);
    // Deep enough for the longest chain: revision -> result -> close.
    drainMessages (8);
}

void ControllerRig::forget()
{
    log.clear();
    model.received.clear();
    view.received.clear();
    downloader.received.clear();
}

juce::String ControllerRig::statusShown() const
{
    auto texts = all<message::TextMessage> (view);
    return texts.empty() ? juce::String ("<none>") : texts.back()->text;
}

double ControllerRig::progressShown() const
{
    auto values = all<message::ProgressUpdate> (view);
    return values.empty() ? -1.0 : values.back()->progress;
}

} // namespace testing_support
