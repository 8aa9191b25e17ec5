#pragma once

#include "ViewForwarder.h"
#include "firmware/FirmwareClass.h"
#include "model/Model.h"
#include "view/MainUI.h"

#include <functional>
#include <vector>

namespace screenshots
{

//==============================================================================
/**
    Shows the real main window in each typical state of an update, and the help
    window, and writes a PNG of each into the folder named on the command line.

    The product sentence and the help text come from the real model and firmware
    record; the other view messages are the ones the controller sends in that state.
*/
class ScreenshotApplication : public juce::JUCEApplication, private juce::Timer
{
public:
    ScreenshotApplication();
    ~ScreenshotApplication() override;

    const juce::String getApplicationName() override { return "updater-screenshots"; }
    const juce::String getApplicationVersion() override { return "1.0"; }
    bool moreThanOneInstanceAllowed() override { return true; }

    void initialise (const juce::String& commandLine) override;
    void shutdown() override;

private:
    //==============================================================================
    struct Scene
    {
        juce::String fileName;
        std::vector<std::function<message::BaseMessage*()>> viewMessages;
        bool showHelp = false;
    };

    static std::vector<Scene> makeScenes();

    void timerCallback() override;
    void showScene (const Scene& scene);
    bool writeSnapshot (juce::Component& window, const juce::String& fileName);
    void finish (int exitCode);

    juce::File outputFolder;
    std::vector<Scene> scenes;
    size_t nextScene = 0;
    bool sceneOnScreen = false;

    FirmwareClass firmware;
    ViewForwarder forwarder;
    std::unique_ptr<model::Model> model;
    std::unique_ptr<view::MainUI> window;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ScreenshotApplication)
};

} // namespace screenshots
