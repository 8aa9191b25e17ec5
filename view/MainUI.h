#pragma once

#include "view/HelpWindow.h"
#include "view/Updater.h"
#include "view/WindowIcon.h"

#include <memory>

namespace view
{

//==============================================================================
/**
    The updater's main window and the component the controller addresses as the view.

    It opens a help window for every help text it receives, passes every other view
    message on to its updater panel, and turns its close button into a CloseRequest
    for the controller. Its size is fixed at 650 x 270.
*/
class MainUI : public ViewInterface, public juce::DocumentWindow
{
public:
    /** Builds the window with its panel, shows it and centres it on the screen. */
    explicit MainUI (controller::ControllerIF* controllerToUse);
    ~MainUI() override;

    //==============================================================================
    /** HelpResponse opens a new help window (replacing the old one); every other
        message is posted on, as the same object, to the panel. */
    void processMessage (message::BaseMessage& message) override;

    /** Asks the controller to end the application; the window stays until it does. */
    void closeButtonPressed() override;

    //==============================================================================
    /** The panel inside the window. */
    const Updater& getUpdater() const noexcept { return *updater; }

    /** The current help window, or null before the first help text arrived. */
    const HelpWindow* getHelpWindow() const noexcept { return helpWindow.get(); }

private:
    WindowIcon icon{*this};
    std::unique_ptr<Updater> updater;
    std::unique_ptr<HelpWindow> helpWindow;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainUI)
};

} // namespace view
