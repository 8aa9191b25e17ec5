#include "FakeController.h"

namespace downloader_test
{

FakeController::FakeController (CallJournal& journalToUse)
    : journal (journalToUse)
{
}

void FakeController::post (message::BaseMessage* message)
{
    CallJournal::Entry entry;
    entry.kind = CallJournal::Kind::post;
    entry.value = message->type;
    if (auto* progress = dynamic_cast<const message::ProgressUpdate*> (message))
        entry.progress = progress->progress;
    journal.add (entry);

    RecordingListener::post (message);
}

void FakeController::processMessage (message::BaseMessage& message)
{
    RecordingListener::processMessage (message);

    if (beforeRouting)
        beforeRouting (message);

    route (message);

    if (afterRouting)
        afterRouting (message);
}

void FakeController::setRoutes (message::ListenerInterface* downloaderToUse,
                                message::ListenerInterface* modelToUse)
{
    downloader = downloaderToUse;
    model = modelToUse;
}

std::vector<double> FakeController::progressValues() const
{
    std::vector<double> values;
    for (size_t i = 0; auto* p = nth<message::ProgressUpdate> (i); ++i)
        values.push_back (p->progress);
    return values;
}

void FakeController::route (message::BaseMessage& message)
{
    switch (message.type)
    {
        case message::Code::updateRequest:
            if (downloader != nullptr)
                downloader->post (new message::UpdateRequest());
            if (model != nullptr)
                model->post (new message::UpdateRequest());
            break;

        case message::Code::nextPackageRequest:
            if (model != nullptr)
                model->post (&message);
            break;

        case message::Code::nextPackageResponse:
            if (downloader != nullptr)
                downloader->post (&message);
            break;

        default:
            break;
    }
}

} // namespace downloader_test
