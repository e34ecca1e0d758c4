// The file dialogs: the document picker, the file-name prompt, the alert and the question, and
// the segue hook. None of them reads or writes a file.
#include "AudioUnitViewController.h"
#include "core/Console.h"
#include "core/FileManager.h"
#include "core/SwiftText.h"
#include "ui/UIAlertController.h"

using pf::Console;
using pf::UIAlertAction;
using pf::UIAlertActionStyle;
using pf::UIAlertController;
using pf::UIAlertControllerStyle;

void AudioUnitViewController::prepare(pf::UIStoryboardSegue& segue, const std::shared_ptr<void>&) {
    if (segue.identifier()) Console::printLine(*segue.identifier());
}

// ---- Document picker ----------------------------------------------------------------------------

void AudioUnitViewController::openFilePicker() {
    auto picker = std::make_shared<pf::UIDocumentPickerViewController>(
        std::vector<std::string>{"public.data"}, pf::UIDocumentPickerMode::importMode);
    picker->delegate = std::static_pointer_cast<pf::UIDocumentPickerDelegate>(self());
    picker->allowsMultipleSelection = true;
    present(picker, true, [] {});
}

void AudioUnitViewController::documentPicker(pf::UIDocumentPickerViewController& controller,
                                             const pf::URL& didPickDocumentAt) {
    Console::printLine("documentPicker: " + pf::swiftText(didPickDocumentAt));
    documentPicker(controller, std::vector<pf::URL>{didPickDocumentAt});
}

void AudioUnitViewController::documentPicker(pf::UIDocumentPickerViewController&,
                                             const std::vector<pf::URL>& didPickDocumentsAt) {
    // No purpose (`reasonForImport`) imports anything yet: the pick ends in its log line.
    Console::printLine("documentPicker: " + pf::swiftText(didPickDocumentsAt));
}

void AudioUnitViewController::documentPickerWasCancelled(pf::UIDocumentPickerViewController&) {
    Console::printLine("The document picker was canceled.");
}

// ---- File-name prompt ---------------------------------------------------------------------------

namespace {

void presentFileNamePrompt(const std::shared_ptr<AudioUnitViewController>& controller,
                           const std::string& purpose, const std::string& defaultName,
                           const std::string& message) {
    auto alert = UIAlertController::make("File name", message, UIAlertControllerStyle::alert);
    alert->addTextField([&](pf::UITextField& field) {
        field.placeholder = "file name";
        field.setText(defaultName);
    });
    std::weak_ptr<UIAlertController> weakAlert = alert;
    std::weak_ptr<AudioUnitViewController> weakController = controller;
    alert->addAction(std::make_shared<UIAlertAction>(
        "OK", UIAlertActionStyle::defaultStyle,
        [weakAlert, weakController, purpose, defaultName](UIAlertAction&) {
            const auto shown = weakAlert.lock();
            const auto owner = weakController.lock();
            if (!shown || !owner) return;
            std::string name = shown->textFields().front()->text();
            if (name.empty()) name = defaultName;
            const auto documents = pf::FileManager::defaultManager().urls(
                pf::FileManager::SearchPathDirectory::documentDirectory,
                pf::FileManager::SearchPathDomainMask::userDomainMask);
            if (documents.empty()) return;
            const pf::URL url = documents.front().appendingPathComponent(name);
            if (pf::FileManager::defaultManager().fileExists(url.path()))
                owner->alertFileName2(purpose, url.lastPathComponent());
            // A free name ends the prompt: nothing is saved under it yet.
        }));
    alert->addAction(
        std::make_shared<UIAlertAction>("Cancel", UIAlertActionStyle::cancel, [](UIAlertAction&) {
            Console::printLine("Save action was canceled.");
        }));
    controller->present(alert, true);
}

} // namespace

void AudioUnitViewController::alertFileName(const std::string& _for,
                                            const std::string& defaultName) {
    presentFileNamePrompt(self(), _for, defaultName,
                          "Please enter the file name for the current file: ");
}

void AudioUnitViewController::alertFileName2(const std::string& _for,
                                             const std::string& defaultName) {
    presentFileNamePrompt(self(), _for, defaultName,
                          "The file already exists. Please type in another file name: ");
}

// ---- Alerts -------------------------------------------------------------------------------------

void AudioUnitViewController::alert(const std::string& caption, const std::string& message,
                                    std::function<void()> completion) {
    Console::printLine("Alert: " + caption + " : " + message);
    auto shown = UIAlertController::make(caption, message, UIAlertControllerStyle::alert);
    shown->addAction(
        std::make_shared<UIAlertAction>("OK", UIAlertActionStyle::defaultStyle, [](UIAlertAction&) {
            Console::printLine("Alert was accepted.");
        }));
    present(shown, true, std::move(completion));
}

void AudioUnitViewController::alertQuestion(const std::string& caption, const std::string& question,
                                            std::function<void()> completion) {
    Console::printLine("Alert: " + caption + " : " + question);
    auto shown = UIAlertController::make(caption, question, UIAlertControllerStyle::alert);
    // No purpose (`reasonForQuestion`: "" or "load preset") acts on the answer yet.
    shown->addAction(std::make_shared<UIAlertAction>(
        "Yes", UIAlertActionStyle::defaultStyle,
        [](UIAlertAction&) { Console::printLine("Answer was YES."); }));
    shown->addAction(
        std::make_shared<UIAlertAction>("No", UIAlertActionStyle::cancel, [](UIAlertAction&) {
            Console::printLine("Answer was NO.");
        }));
    present(shown, true, std::move(completion));
}
