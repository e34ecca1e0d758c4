#include "ViewController.h"

#include "HelpViewController.h"
#include "ViewExtensions.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/Dispatch.h"
#include "core/FileManager.h"
#include "core/RunLoop.h"
#include "core/SwiftText.h"
#include "ui/UIAlertController.h"
#include "ui/UIApplication.h"

using pf::Console;

ViewController::ViewController(std::optional<std::string> nibName, const pf::Bundle* bundle)
    : pf::UIViewController(std::move(nibName), bundle) {}

ViewController::~ViewController() = default;

std::shared_ptr<ViewController> ViewController::self() {
    return std::static_pointer_cast<ViewController>(shared_from_this());
}

std::shared_ptr<AUExtensionManager> ViewController::makeExtensionManager() {
    return AUExtensionManager::make(self());
}

// ---- Life cycle ----------------------------------------------------------------------------

void ViewController::viewDidLoad() {
    pf::UIViewController::viewDidLoad();
    Console::printLine("Info: Main view controller loaded.");
    playButton->setHidden(false);
    stopButton->setHidden(true);
    audioUnitManager_ = makeExtensionManager();
    audioUnitManager_->auEngine->setDelegate(self());
    pluginView->setHidden(true);
    getDirectories();
}

void ViewController::viewWillAppear(bool animated) {
    pf::UIViewController::viewWillAppear(animated);
}

void ViewController::viewDidDisappear(bool animated) {
    pf::UIViewController::viewDidDisappear(animated);
}

void ViewController::viewDidLayoutSubviews() {
    pf::UIViewController::viewDidLayoutSubviews();
}

bool ViewController::canPerformAction(const std::string& action,
                                      const std::shared_ptr<void>& sender) {
    return pf::UIViewController::canPerformAction(action, sender);
}

void ViewController::getDirectories() {
    const auto documents = pf::FileManager::defaultManager().urls(
        pf::FileManager::SearchPathDirectory::documentDirectory,
        pf::FileManager::SearchPathDomainMask::userDomainMask);
    if (documents.empty()) {
        Console::printLine("ViewController: Documents directory is nil.");
        return;
    }
    documentsPath_ = documents.front().path();
    Console::printLine("ViewController: The app's documents path is: " + documentsPath_);
    const auto& resources = pf::Bundle::main().resourceURL();
    if (!resources) {
        Console::printLine("ViewController: Resources folder is nil.");
        return;
    }
    resourcesPath_ = resources->path();
    Console::printLine("ViewController: The app's resources path is: " + resourcesPath_);
}

// ---- Delegates -----------------------------------------------------------------------------

void ViewController::onFoundComponent(std::shared_ptr<pf::AVAudioUnit> unit) {
    Console::printLine("ViewController: Loading the audio unit's interface...");
    if (!unit || !unit->auAudioUnit()) {
        Console::printLine("ERROR: The audio unit is not initialized to load the user interface.");
        return;
    }
    const std::weak_ptr<ViewController> weakSelf = self();
    unit->auAudioUnit()->requestViewController(
        [weakSelf](std::shared_ptr<pf::UIViewController> controller) {
            // The view work belongs on the main thread, whichever thread answers.
            auto work = [weakSelf, controller] {
                const auto screen = weakSelf.lock();
                if (!screen) {
                    Console::printLine("ERROR: Self is nil !?");
                    return;
                }
                if (!controller || !controller->view()) {
                    Console::printLine("ERROR: Something is wrong with the view controller and "
                                       "view of the audio unit.");
                    return;
                }
                screen->embed(controller, true);
            };
            if (pf::RunLoop::isMainThread()) {
                work();
            } else {
                pf::DispatchQueue::main().async(std::move(work));
            }
        });
}

void ViewController::onEngineInitialized() {}

void ViewController::onPlayerStateChanged(bool playing) {
    playButton->setHidden(playing);
    stopButton->setHidden(!playing);
}

void ViewController::onFileSelect(const std::string&) {}

void ViewController::onLoop(std::int64_t) {}

// ---- Embedding -----------------------------------------------------------------------------

void ViewController::embed(const std::shared_ptr<pf::UIViewController>& controller,
                           bool requestDisplay) {
    addChild(controller);
    const auto view = controller->view();
    view->setFrame(pluginView->bounds());
    pluginView->addSubview(view);
    orvex::pinToSuperviewEdges(*view);
    controller->didMove(this);
    if (requestDisplay) view->setNeedsDisplay();
}

void ViewController::embedPlugInView() {
    const auto controller = audioUnitManager_->viewController();
    if (!controller) {
        Console::printLine("ERROR: Could not load audio unit's view controller.");
        return;
    }
    if (!controller->view()) return;
    embed(controller, false);
}

std::shared_ptr<pf::UIView> ViewController::audioUnitView() const {
    return audioUnitViewController_ ? audioUnitViewController_->view() : nullptr;
}

void ViewController::centerPluginView() {
    const auto size = view()->bounds().size;
    resetPluginView(size.width, size.height);
}

void ViewController::resetPluginView(CGFloat w, CGFloat h) {
    if (!audioUnitViewController_) {
        Console::printLine("WARNING: Cannot reset the pluginview (yet).");
        return;
    }
    const auto screen = view()->bounds().size;
    pf::CGRect box;
    if (w < h) {
        const CGFloat width = h / 0.75;
        box = pf::CGRect{screen.width * 0.5 - width * 0.5, 0, width, h};
    } else {
        const CGFloat height = w * 0.75;
        box = pf::CGRect{0, screen.height * 0.5 - height * 0.5, w, height};
    }
    pluginView->setFrame(box);
    audioUnitView()->setFrame(pf::CGRect{0, 0, box.size.width, box.size.height});
    pluginView->setNeedsDisplay();
}

// ---- Actions -------------------------------------------------------------------------------

void ViewController::onButtonUnit(const std::shared_ptr<void>&) {
    pluginView->setHidden(!pluginView->isHidden());
}

void ViewController::onPlayButton(pf::UIButton&) {
    (void)audioUnitManager_->togglePlayback();
}

void ViewController::onStopButton(pf::UIButton&) {
    (void)audioUnitManager_->togglePlayback();
}

void ViewController::showHelp(const std::shared_ptr<void>&) {
    if (const auto root = HelpViewController::helpSiteRootURL()) {
        (void)pf::UIApplication::shared().open(*root);
    }
    (void)performSegue("ShowHelp", shared_from_this());
}

void ViewController::prepare(pf::UIStoryboardSegue& segue, const std::shared_ptr<void>&) {
    const auto& identifier = segue.identifier();
    if (!identifier) return;
    Console::printLine(*identifier);
    if (*identifier != "ShowInfo" && *identifier != "ShowHelp") return;
    // A destination of another kind is left alone.
    if (const auto help = std::dynamic_pointer_cast<HelpViewController>(segue.destination())) {
        help->prepareInfo(*identifier);
    }
}

// ---- Document picker and alert -------------------------------------------------------------

void ViewController::openFilePicker() {
    auto picker = std::make_shared<pf::UIDocumentPickerViewController>(
        std::vector<std::string>{"public.folder"}, pf::UIDocumentPickerMode::open);
    picker->delegate = std::static_pointer_cast<pf::UIDocumentPickerDelegate>(self());
    picker->allowsMultipleSelection = false;
    present(picker, true, [] {});
}

void ViewController::documentPicker(pf::UIDocumentPickerViewController&,
                                    const pf::URL& didPickDocumentAt) {
    Console::printLine("documentPicker (didPickDocumentAt): " + didPickDocumentAt.path());
}

void ViewController::documentPicker(pf::UIDocumentPickerViewController&,
                                    const std::vector<pf::URL>& didPickDocumentsAt) {
    Console::printLine("documentPicker: " + pf::swiftText(didPickDocumentsAt));
    if (!didPickDocumentsAt.empty()) {
        Console::printLine("documentPicker (didPickDocumentsAt): " +
                           didPickDocumentsAt.front().path());
    }
}

void ViewController::documentPickerWasCancelled(pf::UIDocumentPickerViewController&) {
    Console::printLine("The document picker was canceled.");
}

void ViewController::alertMessage(const std::string& title, const std::string& message) {
    Console::printLine(title + ": " + message);
    auto alert = pf::UIAlertController::make(title, message, pf::UIAlertControllerStyle::alert);
    alert->addAction(std::make_shared<pf::UIAlertAction>(
        "OK", pf::UIAlertActionStyle::defaultStyle,
        [](pf::UIAlertAction&) { Console::printLine("Alert was confirmed."); }));
    alert->addAction(std::make_shared<pf::UIAlertAction>(
        "Cancel", pf::UIAlertActionStyle::cancel,
        [](pf::UIAlertAction&) { Console::printLine("Alert was canceled."); }));
    present(alert, true);
}
