#include "ScreenshotApplication.h"

#include "message/Messages.h"

#include <iostream>

namespace screenshots
{

namespace
{
// Long enough for the windows to be mapped and painted.
constexpr int settleMs = 1500;

std::function<message::BaseMessage*()> deviceFound (const char* name)
{
    return [name] { return new message::DeviceFound (name); };
}

std::function<message::BaseMessage*()> status (const char* text)
{
    return [text] { return new message::TextMessage (text); };
}

std::function<message::BaseMessage*()> progress (double value)
{
    return [value] { return new message::ProgressUpdate (value); };
}

std::function<message::BaseMessage*()> updateButton (bool enabled)
{
    return [enabled]() -> message::BaseMessage*
    {
        if (enabled)
            return new message::UpdateButtonEnable();
        return new message::UpdateButtonDisable();
    };
}

std::function<message::BaseMessage*()> deviceNotFound()
{
    return [] { return new message::DeviceNotFound(); };
}
} // namespace

//==============================================================================
ScreenshotApplication::ScreenshotApplication() = default;
ScreenshotApplication::~ScreenshotApplication() = default;

std::vector<ScreenshotApplication::Scene> ScreenshotApplication::makeScenes()
{
    // Each scene starts from a fresh window, as after start-up: the controller has
    // disabled the update button and the model has sent the product sentence.
    return {
        {"1-started.png", {updateButton (false)}},
        {"2-pedal-in-boot-mode.png",
         {updateButton (false), deviceFound ("Verrano2 Boot"), updateButton (true)}},
        {"3-pedal-not-in-boot-mode.png",
         {updateButton (false), deviceFound ("Verrano2"), updateButton (false)}},
        {"4-no-pedal.png", {updateButton (false), deviceNotFound(), updateButton (false)}},
        {"5-transfer.png",
         {updateButton (false), deviceFound ("Verrano2 Boot"), updateButton (true), status (""),
          updateButton (false), progress (0.2), progress (0.4)}},
        {"6-success.png",
         {updateButton (false), deviceFound ("Verrano2 Boot"), updateButton (true), status (""),
          updateButton (false), progress (0.6), progress (1.0), status ("Firmware upgrade successful"),
          updateButton (true)}},
        {"7-failure.png",
         {updateButton (false), deviceFound ("Verrano2 Boot"), updateButton (true), status (""),
          updateButton (false), progress (0.6), progress (1.0),
          status ("Firmware upgrade failed. Please try again"), updateButton (true)}},
        {"8-help.png", {updateButton (false), deviceFound ("Verrano2 Boot"), updateButton (true)}, true},
    };
}

void ScreenshotApplication::initialise (const juce::String&)
{
    const auto arguments = getCommandLineParameterArray();

    if (arguments.size() != 1)
    {
        std::cerr << "usage: updater-screenshots <output folder>" << std::endl;
        finish (2);
        return;
    }

    outputFolder = juce::File::getCurrentWorkingDirectory().getChildFile (arguments[0]);

    if (!outputFolder.createDirectory())
    {
        std::cerr << "cannot create " << outputFolder.getFullPathName() << std::endl;
        finish (1);
        return;
    }

    model = std::make_unique<model::Model> (&forwarder, &firmware);
    scenes = makeScenes();
    startTimer (100);
}

void ScreenshotApplication::shutdown()
{
    stopTimer();
    forwarder.setView (nullptr);
    window.reset();
    model.reset();
}

//==============================================================================
void ScreenshotApplication::timerCallback()
{
    if (sceneOnScreen)
    {
        const auto& scene = scenes[nextScene];
        juce::Component* shown = window.get();

        if (scene.showHelp)
            shown = window->getHelpWindow() != nullptr ? &window->getHelpWindow()->getPeer()->getComponent()
                                                       : nullptr;

        if (shown == nullptr || !writeSnapshot (*shown, scene.fileName))
        {
            finish (1);
            return;
        }

        sceneOnScreen = false;
        ++nextScene;
    }

    if (nextScene >= scenes.size())
    {
        finish (0);
        return;
    }

    showScene (scenes[nextScene]);
    sceneOnScreen = true;
    startTimer (settleMs);
}

void ScreenshotApplication::showScene (const Scene& scene)
{
    forwarder.setView (nullptr);
    window.reset();
    window = std::make_unique<view::MainUI> (&forwarder);
    forwarder.setView (window.get());

    model->post (new message::ProductInfoRequest());

    for (auto& makeMessage : scene.viewMessages)
        window->post (makeMessage());

    if (scene.showHelp)
        model->post (new message::HelpRequest());
}

bool ScreenshotApplication::writeSnapshot (juce::Component& shown, const juce::String& fileName)
{
    const auto image = shown.createComponentSnapshot (shown.getLocalBounds());
    auto file = outputFolder.getChildFile (fileName);
    file.deleteFile();

    juce::FileOutputStream stream (file);
    juce::PNGImageFormat png;

    if (stream.failedToOpen() || !png.writeImageToStream (image, stream))
    {
        std::cerr << "cannot write " << file.getFullPathName() << std::endl;
        return false;
    }

    std::cout << file.getFullPathName() << std::endl;
    return true;
}

void ScreenshotApplication::finish (int exitCode)
{
    stopTimer();
    setApplicationReturnValue (exitCode);
    quit();
}

} // namespace screenshots
