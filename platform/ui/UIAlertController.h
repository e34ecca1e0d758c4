// Alerts, drawn in the view tree: a dimming view over the window with a card that holds the
// title, the message, the text fields and one button per action, left to right in the order the
// actions were added.
//
// Choosing a button dismisses the alert first and then calls the action's handler, so a handler
// may present another alert from the same controller. Return in a text field chooses the
// first default-style action. [main-thread] All of it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/UILabel.h"
#include "ui/UIViewController.h"

namespace pf {

enum class UIAlertControllerStyle { actionSheet = 0, alert = 1 };
enum class UIAlertActionStyle { defaultStyle = 0, cancel = 1, destructive = 2 };

class UIAlertAction {
public:
    using Handler = std::function<void(UIAlertAction&)>;
    UIAlertAction(std::string title, UIAlertActionStyle style, Handler handler = nullptr)
        : title_(std::move(title)), style_(style), handler_(std::move(handler)) {}
    const std::string& title() const { return title_; }
    UIAlertActionStyle style() const { return style_; }
    const Handler& handler() const { return handler_; }

private:
    std::string title_;
    UIAlertActionStyle style_;
    Handler handler_;
};

class UIAlertController : public UIViewController {
public:
    UIAlertController(std::optional<std::string> title, std::optional<std::string> message,
                      UIAlertControllerStyle preferredStyle);
    static std::shared_ptr<UIAlertController> make(std::optional<std::string> title,
                                                   std::optional<std::string> message,
                                                   UIAlertControllerStyle preferredStyle) {
        return std::make_shared<UIAlertController>(std::move(title), std::move(message),
                                                   preferredStyle);
    }

    const std::optional<std::string>& title() const { return title_; }
    const std::optional<std::string>& message() const { return message_; }
    UIAlertControllerStyle preferredStyle() const { return style_; }

    void addAction(std::shared_ptr<UIAlertAction> action);
    const std::vector<std::shared_ptr<UIAlertAction>>& actions() const { return actions_; }
    // Adds a text field (alert style only), configured by `configure` before it is shown.
    void addTextField(const std::function<void(UITextField&)>& configure);
    const std::vector<std::shared_ptr<UITextField>>& textFields() const { return textFields_; }

    // The button of an action (null before the view is loaded, or for an unknown title).
    std::shared_ptr<UIButton> buttonFor(const std::string& actionTitle) const;
    // Chooses the action as its button would: dismiss, then the handler.
    void choose(const std::shared_ptr<UIAlertAction>& action);

    void loadView() override;

private:
    std::optional<std::string> title_;
    std::optional<std::string> message_;
    UIAlertControllerStyle style_;
    std::vector<std::shared_ptr<UIAlertAction>> actions_;
    std::vector<std::shared_ptr<UITextField>> textFields_;
    std::vector<std::pair<std::shared_ptr<UIAlertAction>, std::shared_ptr<UIButton>>> buttons_;
    bool chosen_ = false;
};

} // namespace pf
