#include "ui/UIDocumentPickerViewController.h"

#include <algorithm>

#include "core/FileManager.h"
#include "ui/ModalSheet.h"

namespace pf {

namespace {
constexpr CGFloat kCardWidth = 360;
constexpr CGFloat kRowHeight = 26;
constexpr CGFloat kPadding = 12;
constexpr std::size_t kMaxRows = 12;
} // namespace

UIDocumentPickerViewController::UIDocumentPickerViewController(
    std::vector<std::string> documentTypes, UIDocumentPickerMode mode)
    : types_(std::move(documentTypes)), mode_(mode) {}

std::vector<URL> UIDocumentPickerViewController::selectedURLs() const {
    std::vector<URL> out;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (selected_[i]) out.push_back(entries_[i]);
    return out;
}

std::shared_ptr<UIButton>
UIDocumentPickerViewController::buttonFor(const std::string& title) const {
    for (const auto& [name, button] : buttons_)
        if (name == title) return button;
    return nullptr;
}

void UIDocumentPickerViewController::select(std::size_t entry) {
    if (entry >= entries_.size()) return;
    const bool on = !selected_[entry];
    if (!allowsMultipleSelection) std::fill(selected_.begin(), selected_.end(), false);
    selected_[entry] = on;
    for (std::size_t i = 0; i < entries_.size() && i < buttons_.size(); ++i)
        buttons_[i].second->setSelected(selected_[i]), buttons_[i].second->setNeedsDisplay();
}

void UIDocumentPickerViewController::open() {
    const auto urls = selectedURLs();
    if (done_ || urls.empty()) return;
    done_ = true;
    const auto keep = shared_from_this();
    dismiss(true);
    if (auto d = delegate.lock()) d->documentPicker(*this, urls);
}

void UIDocumentPickerViewController::cancel() {
    if (done_) return;
    done_ = true;
    const auto keep = shared_from_this();
    dismiss(true);
    if (auto d = delegate.lock()) d->documentPickerWasCancelled(*this);
}

void UIDocumentPickerViewController::loadView() {
    const FileManager& fm = FileManager::defaultManager();
    std::optional<URL> folder = directoryURL;
    if (!folder) {
        const auto docs = fm.urls(FileManager::SearchPathDirectory::documentDirectory,
                                  FileManager::SearchPathDomainMask::userDomainMask);
        if (!docs.empty()) folder = docs.front();
    }
    entries_.clear();
    if (folder) {
        try {
            for (const std::string& name : fm.contentsOfDirectory(folder->path())) {
                bool isDirectory = false;
                fm.fileExists(folder->path() + "/" + name, isDirectory);
                entries_.push_back(folder->appendingPathComponent(name, isDirectory));
            }
        } catch (...) {
            entries_.clear(); // an unreadable folder lists nothing
        }
    }
    selected_.assign(entries_.size(), false);

    const std::size_t rows = std::min(entries_.size(), kMaxRows);
    const CGFloat height =
        kPadding + static_cast<CGFloat>(rows) * kRowHeight + kPadding + 32 + kPadding;
    const ModalSheet sheet = makeModalSheet(kCardWidth, height);
    const auto& card = sheet.card;

    buttons_.clear();
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    auto self = [weakSelf] {
        return std::static_pointer_cast<UIDocumentPickerViewController>(weakSelf.lock());
    };
    for (std::size_t i = 0; i < rows; ++i) {
        auto row = std::make_shared<UIButton>(
            CGRect{kPadding, kPadding + static_cast<CGFloat>(i) * kRowHeight,
                   kCardWidth - 2 * kPadding, kRowHeight - 2});
        row->setTitle(entries_[i].lastPathComponent());
        row->addTarget(
            nullptr, "selectEntry:",
            [self, i](UIControl&, const UIEvent*) {
                if (auto s = self()) s->select(i);
            },
            UIControlEventTouchUpInside);
        card->addSubview(row);
        buttons_.emplace_back(entries_[i].lastPathComponent(), row);
    }
    const CGFloat y = kPadding + static_cast<CGFloat>(rows) * kRowHeight + kPadding;
    const CGFloat w = (kCardWidth - 3 * kPadding) / 2;
    auto cancelButton = std::make_shared<UIButton>(CGRect{kPadding, y, w, 32});
    cancelButton->setTitle("Cancel");
    cancelButton->addTarget(
        nullptr, "cancel:",
        [self](UIControl&, const UIEvent*) {
            if (auto s = self()) s->cancel();
        },
        UIControlEventTouchUpInside);
    auto openButton = std::make_shared<UIButton>(CGRect{2 * kPadding + w, y, w, 32});
    openButton->setTitle("Open");
    openButton->addTarget(
        nullptr, "open:",
        [self](UIControl&, const UIEvent*) {
            if (auto s = self()) s->open();
        },
        UIControlEventTouchUpInside);
    card->addSubview(cancelButton);
    card->addSubview(openButton);
    buttons_.emplace_back("Cancel", cancelButton);
    buttons_.emplace_back("Open", openButton);
    setView(sheet.backdrop);
}

} // namespace pf
