#pragma once

#include "CallJournal.h"
#include "support/RecordingListener.h"

#include <functional>

namespace downloader_test
{

/**
    A controller for the downloader's tests. It journals every message posted to
    it on the posting thread, records every message delivered to it and, once
    routes are set, passes messages on as the application's controller does: an
    UpdateRequest becomes new UpdateRequests to the downloader and to the model,
    NextPackageRequest goes to the model and NextPackageResponse to the downloader.
*/
class FakeController : public testing_support::RecordingListener
{
public:
    explicit FakeController (CallJournal& journal);

    void post (message::BaseMessage* message) override;
    void processMessage (message::BaseMessage& message) override;

    /** The components to route to; the model may be null for an unattended run. */
    void setRoutes (message::ListenerInterface* downloader, message::ListenerInterface* model);

    /** Run on each delivered message, before and after it is routed: a way to
        inject a message at an exact point of the exchange. */
    std::function<void (const message::BaseMessage&)> beforeRouting, afterRouting;

    /** The progress values delivered so far, in order. */
    std::vector<double> progressValues() const;

private:
    void route (message::BaseMessage& message);

    CallJournal& journal;
    message::ListenerInterface* downloader = nullptr;
    message::ListenerInterface* model = nullptr;
};

} // namespace downloader_test
