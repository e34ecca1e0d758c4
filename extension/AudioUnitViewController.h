// AudioUnitViewController: the plug-in's principal class. It is the audio-unit factory (it makes
// the one Orvex_Compander_Extension_AudioUnit and keeps it), the binder between the unit's
// parameter tree and the compressor panel (host changes move the panel; panel edits go to the
// unit), and the owner of the plug-in's interface: the view tree with its fourteen outlets, the
// eight actions, the 40 ms meter timer, placement and gestures, the appearance controls, the info
// overlay and the file dialogs.
//
// Start-up, in either order: the view loads (loadView builds the interface, viewDidLoad wires
// the panel and starts the meter timer) and the factory makes the unit. Assigning the unit logs
// one line on the assigning thread and continues on the main queue; there the connection runs
// when the view is loaded. When the view was not loaded yet the connection is kept pending and
// viewDidLoad makes it, so the panel always follows the host. Connecting again (a new unit)
// removes the previous tree observer first.
//
// Ownership: the controller owns its unit, its views and its timer. The timer's block, the
// panel's back references and the tree observer hold the controller weakly; the controller
// stops its timer when it goes, so a closed plug-in is freed. Queued work on the main queue holds
// it until that work has run.
//
// Threads: createAudioUnit and the unit assignment on any thread (the rest moves to the main
// queue); everything else [main-thread]. Log lines go to standard output on the calling thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "OrvexCompressorView.h"
#include "OrvexDynamicsDisplayView.h"
#include "Orvex_Compressor_Extension_AudioUnit.h"
#include "PluginFrameEx.h"
#include "audio/AUAudioUnitFactory.h"
#include "audio/AUParameters.h"
#include "core/NSError.h"
#include "ui/UIDocumentPickerViewController.h"
#include "ui/UIGestureRecognizer.h"
#include "ui/UILabel.h"
#include "ui/UIViewController.h"

namespace pf {
class Timer;
class Bundle;
} // namespace pf

class Animator;

class AudioUnitViewController : public pf::AUViewController,
                                public pf::AUAudioUnitFactory,
                                public OrvexCompressorViewDelegate,
                                public pf::UIDocumentPickerDelegate {
public:
    using CGFloat = pf::CGFloat;
    using CGRect = pf::CGRect;

    // The principal-class name the bundle's Info.plist gives.
    static constexpr const char* kClassName = "AudioUnitViewController";

    explicit AudioUnitViewController(std::optional<std::string> nibName = std::nullopt,
                                     const pf::Bundle* bundle = nullptr);
    ~AudioUnitViewController() override;
    static std::shared_ptr<AudioUnitViewController> make() {
        return std::make_shared<AudioUnitViewController>();
    }

    // ---- Panel delegate
    // Hands the edit to the unit (signed 32-bit address, same value); dropped without a unit.
    void onOrvexCompressorViewParameter(int address, float value) override;
    // Does nothing.
    void onOrvexCompressorViewOption(int address, float value) override;

    // ---- Factory
    // [any-thread] Makes the unit with the description and no options, assigns it and returns
    // it. Throws the unit's NSErrorException; `audioUnit` then keeps its value.
    std::shared_ptr<pf::AUAudioUnit>
    createAudioUnit(const pf::AudioComponentDescription& with) override;
    // The runtime entry "createAudioUnitWithComponentDescription:error:": the unit, or null and
    // the error stored in `error` when given.
    std::shared_ptr<pf::AUAudioUnit>
    createAudioUnitWithComponentDescription(const pf::AudioComponentDescription& description,
                                            std::optional<pf::NSError>* error);
    // [main-thread] The registry's calls: load the view; answer this controller.
    void loadPrincipalView() override { loadViewIfNeeded(); }
    std::shared_ptr<pf::UIViewController> principalViewController() override {
        return shared_from_this();
    }

    // ---- The unit
    // [any-thread]
    virtual std::shared_ptr<Orvex_Compander_Extension_AudioUnit> audioUnit() const;
    // [any-thread] Stores the unit (none included), logs "AU Diagnostics: AUAudioUnit::didSet()"
    // and queues the connection on the main queue.
    virtual void setAudioUnit(std::shared_ptr<Orvex_Compander_Extension_AudioUnit> unit);

    // ---- View life cycle
    // Builds the interface: outlets, recognisers and actions.
    void loadView() override;
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    // ---- Binding
    void connectParameters();
    virtual void updateView();

    // ---- Meter refresh
    // Whether the view is in a window and it and every ancestor below the top-most one is shown
    // and overlaps its superview's bounds.
    virtual bool isViewVisible(const pf::UIView& view) const;
    // One refresh (the meter timer's block calls it every 40 ms).
    virtual void onTimer(pf::Timer& instance);
    // The meter timer (null before viewDidLoad); for tests and diagnostics.
    const std::shared_ptr<pf::Timer>& timer() const { return timer_; }

    // ---- Tree access by address
    void setParameter(int address, float value);
    float getParameter(int address);

    // ---- Placement and gestures
    virtual void centerpluginView();
    virtual void onPanGesture(pf::UIPanGestureRecognizer& sender);
    virtual void onPinchGesture(pf::UIPinchGestureRecognizer& sender);
    virtual void onTapGesture(pf::UITapGestureRecognizer& sender);
    virtual void onDoubleTapGesture(pf::UITapGestureRecognizer& sender);

    // ---- Appearance controls
    virtual void onContrastButton(pf::UIButton& sender);
    virtual void onBrightnessSlider(pf::UISlider& sender);
    virtual void onFreezeButton(pf::UIButton& sender);
    virtual void onlongPressGesture(pf::UILongPressGestureRecognizer& sender);

    // ---- Info overlay
    void showInfo(const std::string& string);
    void hideInfo();

    // ---- Dialogs
    void prepare(pf::UIStoryboardSegue& segue, const std::shared_ptr<void>& sender) override;
    void openFilePicker();
    void documentPicker(pf::UIDocumentPickerViewController& controller,
                        const pf::URL& didPickDocumentAt) override;
    void documentPicker(pf::UIDocumentPickerViewController& controller,
                        const std::vector<pf::URL>& didPickDocumentsAt) override;
    void documentPickerWasCancelled(pf::UIDocumentPickerViewController& controller) override;
    void alertFileName(const std::string& _for, const std::string& defaultName);
    void alertFileName2(const std::string& _for, const std::string& defaultName);
    void alert(const std::string& caption, const std::string& message,
               std::function<void()> completion);
    void alertQuestion(const std::string& caption, const std::string& question,
                       std::function<void()> completion);

    // ---- Runtime names: the actions by selector, as the interface resources connect them.
    static const std::vector<std::string>& actionSelectors();
    // Sends the action of `selector` with `sender`; false for an unknown selector or a sender of
    // the wrong kind.
    bool performAction(const std::string& selector, pf::UIControl& sender);
    bool performAction(const std::string& selector, pf::UIGestureRecognizer& sender);
    // The outlets by name: a getter under each outlet's name ("pluginFrame" …
    // "longPressGesture") and a setter "set<Name>:" ("setPluginFrame:" …). A setter takes an
    // object of the outlet's class or null; it answers false, and changes nothing, for an unknown
    // selector or an object of another class. A getter answers null for an unknown name.
    static const std::vector<std::string>& outletNames();
    static const std::vector<std::string>& outletSetterSelectors();
    std::shared_ptr<pf::UIView> viewOutlet(const std::string& name) const;
    std::shared_ptr<pf::UIGestureRecognizer> gestureOutlet(const std::string& name) const;
    bool performSetter(const std::string& selector, const std::shared_ptr<pf::UIView>& value);
    bool performSetter(const std::string& selector,
                       const std::shared_ptr<pf::UIGestureRecognizer>& value);

    // ---- State
    bool useObservers = true;
    bool touchesLocked = false;
    bool isSizeable = true;
    CGFloat ratio = 0.6640625; // panel height over width (85/128)
    bool fitToHeight = true;
    std::string reasonForQuestion;
    std::string reasonForImport;

    // ---- Outlets (filled by loadView; the code requires all fourteen)
    std::shared_ptr<PluginFrameEx> pluginFrame;
    std::shared_ptr<pf::UIView> pluginView;
    std::shared_ptr<OrvexDynamicsDisplayView> displayView;
    std::shared_ptr<OrvexCompressorView> mainView;
    std::shared_ptr<pf::UIView> infoView;
    std::shared_ptr<pf::UILabel> infoMessage;
    std::shared_ptr<pf::UIButton> contrastButton;
    std::shared_ptr<pf::UISlider> brightnessSlider;
    std::shared_ptr<pf::UIButton> freezeButton;
    std::shared_ptr<pf::UIPanGestureRecognizer> panGesture;
    std::shared_ptr<pf::UIPinchGestureRecognizer> pinchGesture;
    std::shared_ptr<pf::UITapGestureRecognizer> doubleTapGesture;
    std::shared_ptr<pf::UITapGestureRecognizer> tapGesture;
    std::shared_ptr<pf::UILongPressGestureRecognizer> longPressGesture;

    // For tests and diagnostics.
    const std::vector<std::shared_ptr<pf::AUParameter>>& parameterList() const {
        return parameters;
    }
    bool isAutoLayoutLocked() const { return lockAutoLayout; }
    CGRect savedControlFrame() const { return controlFrame; }
    const std::shared_ptr<pf::UIView>& placedView() const { return currentView; }

protected:
    virtual void setPaths();
    // Fits the placed panel into a w x h box less `inset` on each side: to the height in a
    // landscape box when `fitToHeight`, else to the width; centred in the controller's view.
    virtual void resetpluginView(CGFloat w, CGFloat h, CGFloat inset = 0);
    // Not called by the plug-in: `view` placed at `origin` moved by `position`; `view` placed at
    // `origin` scaled about its centre when the result is 256 to 2048 wide.
    virtual void doTranslationTransform(pf::UIView& view, CGRect origin, pf::CGPoint position);
    virtual void doScalingTransform(pf::UIView& view, CGRect origin, CGFloat scaling);

private:
    void connectIfLoaded(std::uint64_t generation);
    // The buttons' tint: whichever of black and white reads best on the frame's grey.
    void tintButtonsForFrame();
    void extractParameters(const std::string& name,
                           const std::shared_ptr<pf::AUParameterGroup>& tree, std::int64_t level);
    void printParameter(const pf::AUParameter& parameter, std::int64_t level);
    void verboseFlags(pf::AudioUnitParameterOptions flags, std::int64_t level);
    static std::string verboseParameterKind(pf::AudioUnitParameterUnit kind);
    void startOverlayAnimation(float from, float to, std::int64_t frames, bool fadeIn);
    std::shared_ptr<AudioUnitViewController> self();

    mutable std::mutex unitMutex_;
    std::shared_ptr<Orvex_Compander_Extension_AudioUnit> audioUnit_;
    std::uint64_t assignments_ = 0; // guarded by unitMutex_
    std::uint64_t connectedAssignment_ = 0;
    bool connectionPending_ = false;

    std::string startFolderForSegue = "Orvex Compander/";
    std::shared_ptr<pf::Timer> timer_;
    bool lockAutoLayout = false;
    CGRect controlFrame{0, 0, 0, 0};
    std::optional<pf::AUParameterObserverToken> parameterObserverToken;
    std::weak_ptr<pf::AUParameterTree> observedTree_;
    std::shared_ptr<pf::AUParameterTree> parameterTree;
    std::vector<std::shared_ptr<pf::AUParameter>> parameters;
    std::shared_ptr<pf::UIView> currentView;
};

// The module's principal-class factory: a new controller for "AudioUnitViewController", null
// for any other name.
std::shared_ptr<pf::AUAudioUnitFactory> makeOrvexPrincipal(const char* className);
