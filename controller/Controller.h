#pragma once

#include "controller/ControllerIF.h"
#include "message/Messages.h"

#include <functional>
#include <optional>

namespace controller
{

/**
    The hub of the updater: every message from the model, the downloader and the
    view arrives here and is forwarded, answered, or both.

    The controller also holds the state that decides a run: interactive or
    unattended, whether the pedal was found, the pedal's and the image's
    revisions (whose comparison decides success) and the exit code.

    The three component pointers are not owned. Any post aimed at a component
    that is not set (before start-up wiring, or after CloseRequest) is skipped.
*/
class Controller : public ControllerIF
{
public:
    /** Quits through the running application when CloseRequest arrives. */
    Controller();

    /** Calls `quitAction` instead of the application when CloseRequest arrives. */
    explicit Controller (std::function<void()> quitAction);

    ~Controller() override;

    //==============================================================================
    /** The components the controller routes to; set by the application at start-up. */
    void setModel (message::ListenerInterface* newModel) noexcept;
    void setView (message::ListenerInterface* newView) noexcept;
    void setDownloader (message::ListenerInterface* newDownloader) noexcept;

    /** Starts a run: disables the update button and asks the model for the product
        sentence, the image's revision and the model byte. Call once, after wiring. */
    void start (bool interactive);

    //==============================================================================
    void processMessage (message::BaseMessage& message) override;

    /** Interactive: 0 after a successful update or when none was attempted, -1 after
        a failed one. Unattended: 0 only once the pedal has reported the image's
        revision in this run, -1 in every other case (no pedal, a failure, or a run
        stopped before its result). */
    int getExitCode() const override;

    //==============================================================================
    /** How the run stands: what an unattended run reports when it ends. */
    struct Outcome
    {
        enum class Kind
        {
            none,          ///< no result yet: nothing tried, or stopped before the result
            updated,       ///< the pedal reported the image's revision
            pedalNotFound, ///< the search at start-up found no pedal
            severalPedals, ///< the search at start-up found more than one pedal
            failed         ///< an update failed; `failure` says how
        };

        Kind kind = Kind::none;
        int failure = message::updateSucceeded; ///< an UpdateResult, when failed
        juce::int32 pedalRevision = 0;          ///< what the pedal last reported, if it did
        juce::int32 imageRevision = 0;          ///< the image's revision, once known
        int pedalsAnswered = 0;                 ///< how many pedals the search at start-up found
    };

    /** The last result of the run, or how it stands without one. */
    Outcome getOutcome() const;

private:
    //==============================================================================
    void handleClose();
    void handleUpdateRequest();
    void handleProgress (const message::ProgressUpdate& progress);
    void handleDeviceNotFound (int pedalsAnswered);
    void handleRevision (const message::SVNUpdate& update);
    void handleDeviceFound (const message::DeviceFound& found);
    void handleResult (const message::UpdateStatus& result);

    /** Posts the received object itself, unchanged, when the target exists. */
    static void forward (message::ListenerInterface* target, message::BaseMessage& message);

    /** Creates and posts a new message when the target exists. */
    template<typename MessageClass, typename... Args>
    static void postNew (message::ListenerInterface* target, Args&&... args)
    {
        if (target != nullptr)
            target->post (new MessageClass (std::forward<Args> (args)...));
    }

    //==============================================================================
    message::ListenerInterface* view = nullptr;       // not owned
    message::ListenerInterface* model = nullptr;      // not owned
    message::ListenerInterface* downloader = nullptr; // not owned

    // Whether a revision has arrived is kept apart from its value: a pedal may
    // report any 32-bit value, -1 included.
    juce::int32 deviceRevision = -1;
    juce::int32 imageRevision = -1;
    bool deviceRevisionReceived = false;
    bool imageRevisionReceived = false;

    bool interactive = true;
    bool autoUpdateStarted = false;
    int exitCode = 0;
    bool deviceFound = false;

    // What getOutcome() reports: the last UpdateStatus handled, whether the pedal has
    // reported the image's revision, and a start-up search that found nothing.
    std::optional<int> lastResult;
    bool pedalReportedImageRevision = false;
    bool noPedalAtStart = false;
    int pedalsAtStart = 0;

    std::function<void()> quit;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Controller)
};

} // namespace controller
