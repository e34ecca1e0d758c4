// ViewController: the application's main screen. It makes the extension manager, which finds,
// instantiates and wires the plug-in; when the manager reports the unit, the screen requests the
// unit's own view controller and embeds its view in the plug-in area. Its buttons show and hide
// the plug-in area, toggle playback (play and stop both toggle; the visible one follows the
// engine player's report) and open the help: the site root in the system browser and the help
// screen through the segue "ShowHelp". The info button leads to the help screen through the
// segue "ShowInfo". A document picker, an alert and a 4:3 layout routine belong to the screen
// too, though nothing calls them.
//
// The interface resources are built in code (`loadView` and `makeMainScreen`): the six outlets,
// the four actions and the two segues.
//
// Ownership: the screen owns the manager (and through it the engine player); both hold the
// screen as their delegate strongly, so the three live as long as the application. The embedded
// plug-in controller is owned as a child of the screen only. The view-controller request's
// completion holds the screen weakly.
// Threads: [main-thread], except onFoundComponent and onEngineInitialized (the instantiation's
// completion thread: they touch no view) and onFileSelect (the loading thread).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AUEnginePlayer.h"
#include "AUExtensionManager.h"
#include "core/URL.h"
#include "ui/CGGeometry.h"
#include "ui/UIDocumentPickerViewController.h"
#include "ui/UILabel.h"
#include "ui/UIViewController.h"

class ViewController : public pf::UIViewController,
                       public AUExtensionManagerDelegate,
                       public AUEnginePlayerDelegate,
                       public pf::UIDocumentPickerDelegate {
public:
    using CGFloat = pf::CGFloat;

    // The size the main scene is laid out for (the window's size at start).
    static constexpr pf::CGSize kCanvasSize{800, 600};

    explicit ViewController(std::optional<std::string> nibName = std::nullopt,
                            const pf::Bundle* bundle = nullptr);
    ~ViewController() override;

    // ---- Extension manager delegate [instantiation thread]
    void onFoundComponent(std::shared_ptr<pf::AVAudioUnit> unit) override;
    void onEngineInitialized() override;
    // ---- Engine player delegate
    void onPlayerStateChanged(bool playing) override; // [main-queue]
    void onFileSelect(const std::string& file) override;
    void onLoop(std::int64_t count) override; // [main-queue]

    // ---- Outlets (filled by loadView; the code requires all six)
    std::shared_ptr<pf::UIView> pluginView;
    std::shared_ptr<pf::UIButton> buttonUnit;
    std::shared_ptr<pf::UIButton> buttonInfo;
    std::shared_ptr<pf::UIButton> buttonHelp;
    std::shared_ptr<pf::UIButton> playButton;
    std::shared_ptr<pf::UIButton> stopButton;

    // ---- Actions
    virtual void onButtonUnit(const std::shared_ptr<void>& sender);
    virtual void onPlayButton(pf::UIButton& sender);
    virtual void onStopButton(pf::UIButton& sender);
    virtual void showHelp(const std::shared_ptr<void>& sender);

    // ---- Operations nothing in the application calls
    void embedPlugInView();
    void centerPluginView();
    void resetPluginView(CGFloat w, CGFloat h);
    void openFilePicker();
    void alertMessage(const std::string& title, const std::string& message);

    // ---- View life cycle and segues
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void viewDidLayoutSubviews() override;
    bool canPerformAction(const std::string& action, const std::shared_ptr<void>& sender) override;
    void prepare(pf::UIStoryboardSegue& segue, const std::shared_ptr<void>& sender) override;

    // ---- Document picker delegate
    void documentPicker(pf::UIDocumentPickerViewController& controller,
                        const pf::URL& didPickDocumentAt) override;
    void documentPicker(pf::UIDocumentPickerViewController& controller,
                        const std::vector<pf::URL>& didPickDocumentsAt) override;
    void documentPickerWasCancelled(pf::UIDocumentPickerViewController& controller) override;

    // ---- Fields (read by tests and diagnostics)
    const std::shared_ptr<AUExtensionManager>& audioUnitManager() const {
        return audioUnitManager_;
    }
    const std::string& documentsPath() const { return documentsPath_; }
    const std::string& sharedPath() const { return sharedPath_; }
    const std::string& resourcesPath() const { return resourcesPath_; }
    const std::shared_ptr<pf::UIViewController>& audioUnitViewController() const {
        return audioUnitViewController_;
    }
    // Nothing in the application assigns it; tests do, to reach the layout routine.
    void setAudioUnitViewController(std::shared_ptr<pf::UIViewController> controller) {
        audioUnitViewController_ = std::move(controller);
    }
    const std::shared_ptr<pf::AVAudioUnit>& avAudioUnit() const { return avAudioUnit_; }

protected:
    // The manager the screen makes in viewDidLoad (tests substitute their own).
    virtual std::shared_ptr<AUExtensionManager> makeExtensionManager();

private:
    void getDirectories();
    void embed(const std::shared_ptr<pf::UIViewController>& controller, bool requestDisplay);
    std::shared_ptr<pf::UIView> audioUnitView() const;
    std::shared_ptr<ViewController> self();

    std::shared_ptr<AUExtensionManager> audioUnitManager_;
    std::string documentsPath_;
    std::string sharedPath_;
    std::string resourcesPath_;
    std::shared_ptr<pf::UIViewController> audioUnitViewController_;
    std::shared_ptr<pf::AVAudioUnit> avAudioUnit_;
};

// The main scene: a new main screen with its segues "ShowHelp" and "ShowInfo" to the help screen.
std::shared_ptr<ViewController> makeMainScreen();
// Registers the main scene as the storyboard "Main" (the Info.plist's UIMainStoryboardFile).
void registerMainStoryboard();
