#pragma once

#include "controller/ControllerIF.h"

namespace screenshots
{

//==============================================================================
/**
    Stands in for the controller while the screenshots are taken: it passes the
    model's answers (product sentence, help text) on to the view and turns the
    window's close request into the end of the program. Everything else is dropped,
    so no update can start.
*/
class ViewForwarder : public controller::ControllerIF
{
public:
    ViewForwarder() = default;

    /** The window that receives the model's answers; not owned, may be null. */
    void setView (message::ListenerInterface* newView) noexcept { view = newView; }

    void processMessage (message::BaseMessage& message) override;
    int getExitCode() const override { return 0; }

private:
    message::ListenerInterface* view = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ViewForwarder)
};

} // namespace screenshots
