// A document picker, drawn in the view tree: a dimming view with a card listing the entries of
// one folder (the user's Documents folder unless `directoryURL` says otherwise), one button per
// entry (a tap selects it; several when `allowsMultipleSelection`), and "Cancel" and "Open".
// "Open" with a selection dismisses the picker and hands the selected URLs to the delegate's
// documentPicker(_:didPickDocumentsAt:); "Cancel" dismisses it and calls
// documentPickerWasCancelled. The single-URL delegate method is never called by the picker.
// The picker reads nothing but the folder listing. [main-thread] All of it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/URL.h"
#include "ui/UILabel.h"
#include "ui/UIViewController.h"

namespace pf {

class UIDocumentPickerViewController;

enum class UIDocumentPickerMode {
    importMode = 0,
    open = 1,
    exportToService = 2,
    moveToService = 3
};

class UIDocumentPickerDelegate {
public:
    virtual ~UIDocumentPickerDelegate() = default;
    virtual void documentPicker(UIDocumentPickerViewController& controller,
                                const std::vector<URL>& didPickDocumentsAt) {
        (void)controller, (void)didPickDocumentsAt;
    }
    virtual void documentPicker(UIDocumentPickerViewController& controller,
                                const URL& didPickDocumentAt) {
        (void)controller, (void)didPickDocumentAt;
    }
    virtual void documentPickerWasCancelled(UIDocumentPickerViewController& controller) {
        (void)controller;
    }
};

class UIDocumentPickerViewController : public UIViewController {
public:
    UIDocumentPickerViewController(std::vector<std::string> documentTypes,
                                   UIDocumentPickerMode mode);

    const std::vector<std::string>& documentTypes() const { return types_; }
    UIDocumentPickerMode mode() const { return mode_; }
    std::weak_ptr<UIDocumentPickerDelegate> delegate;
    bool allowsMultipleSelection = false;
    std::optional<URL> directoryURL;

    // The listed entries (sorted by name) and the current selection; empty before the view loads.
    const std::vector<URL>& entries() const { return entries_; }
    std::vector<URL> selectedURLs() const;
    std::shared_ptr<UIButton> buttonFor(const std::string& title) const;

    void select(std::size_t entry);
    void open();
    void cancel();

    void loadView() override;

private:
    std::vector<std::string> types_;
    UIDocumentPickerMode mode_;
    std::vector<URL> entries_;
    std::vector<bool> selected_;
    std::vector<std::pair<std::string, std::shared_ptr<UIButton>>> buttons_;
    bool done_ = false;
};

} // namespace pf
