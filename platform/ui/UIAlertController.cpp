#include "ui/UIAlertController.h"

#include <algorithm>

#include "ui/ModalSheet.h"
#include "ui/TextDrawing.h"

namespace pf {

namespace {
constexpr CGFloat kCardWidth = 300;
constexpr CGFloat kPadding = 16;
constexpr CGFloat kFieldHeight = 28;
constexpr CGFloat kButtonHeight = 36;

CGFloat textHeight(const std::string& text, const UIFont& font) {
    if (text.empty()) return 0;
    NSStringAttributes a;
    a.font = font;
    return boundingRect(text, {kCardWidth - 2 * kPadding, 1e9},
                        NSStringDrawingUsesLineFragmentOrigin, a)
        .size.height;
}
} // namespace

UIAlertController::UIAlertController(std::optional<std::string> title,
                                     std::optional<std::string> message,
                                     UIAlertControllerStyle preferredStyle)
    : title_(std::move(title)), message_(std::move(message)), style_(preferredStyle) {}

void UIAlertController::addAction(std::shared_ptr<UIAlertAction> action) {
    if (action) actions_.push_back(std::move(action));
}

void UIAlertController::addTextField(const std::function<void(UITextField&)>& configure) {
    if (style_ != UIAlertControllerStyle::alert) return;
    auto field =
        std::make_shared<UITextField>(CGRect{0, 0, kCardWidth - 2 * kPadding, kFieldHeight});
    if (configure) configure(*field);
    textFields_.push_back(std::move(field));
}

std::shared_ptr<UIButton> UIAlertController::buttonFor(const std::string& actionTitle) const {
    for (const auto& [action, button] : buttons_)
        if (action->title() == actionTitle) return button;
    return nullptr;
}

void UIAlertController::choose(const std::shared_ptr<UIAlertAction>& action) {
    if (chosen_ || !action) return;
    chosen_ = true;
    const auto keep = shared_from_this();
    dismiss(true);
    if (action->handler()) action->handler()(*action);
}

void UIAlertController::loadView() {

    const UIFont titleFont =
        UIFont::named("HelveticaNeue-CondensedBold", 17).value_or(UIFont::systemFont(17));
    const UIFont messageFont = UIFont::systemFont(13);
    const std::string title = title_.value_or("");
    const std::string message = message_.value_or("");
    const CGFloat titleH = textHeight(title, titleFont);
    const CGFloat messageH = textHeight(message, messageFont);
    CGFloat height = kPadding + titleH + (messageH > 0 ? 6 + messageH : 0);
    height += static_cast<CGFloat>(textFields_.size()) * (kFieldHeight + 8) + kPadding;
    height += kButtonHeight + kPadding;

    const ModalSheet sheet = makeModalSheet(kCardWidth, height);
    const auto& card = sheet.card;

    CGFloat y = kPadding;
    const CGFloat inner = kCardWidth - 2 * kPadding;
    const auto addLabel = [&](const std::string& text, const UIFont& font, CGFloat h) {
        auto label = std::make_shared<UILabel>(CGRect{kPadding, y, inner, h});
        label->font = font;
        label->textAlignment = NSTextAlignment::center;
        label->setText(text);
        card->addSubview(label);
        y += h;
    };
    if (titleH > 0) addLabel(title, titleFont, titleH);
    if (messageH > 0) {
        y += 6;
        addLabel(message, messageFont, messageH);
    }
    y += kPadding;
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    for (const auto& field : textFields_) {
        field->setFrame({kPadding, y, inner, kFieldHeight});
        field->addTarget(
            nullptr, "returnKey",
            [weakSelf](UIControl&, const UIEvent*) {
                auto self = std::static_pointer_cast<UIAlertController>(weakSelf.lock());
                if (!self) return;
                for (const auto& a : self->actions_)
                    if (a->style() == UIAlertActionStyle::defaultStyle) return self->choose(a);
            },
            UIControlEventEditingDidEndOnExit);
        card->addSubview(field);
        y += kFieldHeight + 8;
    }
    const std::size_t n = std::max<std::size_t>(actions_.size(), 1);
    const CGFloat w = (inner - 8 * static_cast<CGFloat>(n - 1)) / static_cast<CGFloat>(n);
    CGFloat x = kPadding;
    buttons_.clear();
    for (const auto& action : actions_) {
        auto button = std::make_shared<UIButton>(CGRect{x, y, w, kButtonHeight});
        button->setTitle(action->title());
        std::weak_ptr<UIAlertAction> weakAction = action;
        button->addTarget(
            nullptr, "chooseAction:",
            [weakSelf, weakAction](UIControl&, const UIEvent*) {
                auto self = std::static_pointer_cast<UIAlertController>(weakSelf.lock());
                if (self) self->choose(weakAction.lock());
            },
            UIControlEventTouchUpInside);
        card->addSubview(button);
        buttons_.emplace_back(action, button);
        x += w + 8;
    }
    setView(sheet.backdrop);
}

} // namespace pf
