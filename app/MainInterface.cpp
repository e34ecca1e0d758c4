// The main scene's interface resources, built in code: the screen's view tree with its six
// outlets and four actions, the info button's segue, and the segues "ShowHelp" and "ShowInfo"
// to the help screen.
//
// Layout (points, for the 800 × 600 canvas): a bar along the top with the unit, play/stop, info
// and help buttons; the plug-in area fills the rest and follows the window's size.
#include "HelpViewController.h"
#include "ViewController.h"
#include "ui/UIApplicationMain.h"

namespace {

constexpr pf::CGFloat kBarHeight = 52;
const pf::UIColor kBackground{0.17, 0.17, 0.18, 1};
const pf::UIColor kBar{0.24, 0.24, 0.26, 1};
const pf::UIColor kButtonTint{0.86, 0.86, 0.88, 1};

std::shared_ptr<pf::UIButton> makeButton(pf::UIView& bar, const pf::CGRect& frame,
                                         const std::string& title, unsigned autoresizing) {
    auto button = std::make_shared<pf::UIButton>(frame);
    button->setTitle(title);
    button->tintColor = kButtonTint;
    button->autoresizingMask = autoresizing;
    bar.addSubview(button);
    return button;
}

// The action `selector` on `control`, sent to the screen while it exists.
template <class Call>
void connect(pf::UIControl& control, const std::shared_ptr<ViewController>& screen,
             const std::string& selector, Call call) {
    const std::weak_ptr<ViewController> weak = screen;
    control.addTarget(
        screen, selector,
        [weak, call](pf::UIControl& sender, const pf::UIEvent*) {
            if (const auto target = weak.lock()) call(*target, sender);
        },
        pf::UIControlEventTouchUpInside);
}

} // namespace

void ViewController::loadView() {
    const pf::CGRect canvas{0, 0, kCanvasSize.width, kCanvasSize.height};
    auto root = std::make_shared<pf::UIView>(canvas);
    root->setBackgroundColor(kBackground);

    auto bar = std::make_shared<pf::UIView>(pf::CGRect{0, 0, canvas.size.width, kBarHeight});
    bar->setBackgroundColor(kBar);
    bar->autoresizingMask = pf::UIViewAutoresizingFlexibleWidth;
    root->addSubview(bar);

    constexpr pf::CGFloat y = 10;
    constexpr pf::CGFloat h = 32;
    buttonUnit = makeButton(*bar, {12, y, 96, h}, "Plug-In", pf::UIViewAutoresizingNone);
    playButton = makeButton(*bar, {120, y, 96, h}, "Play", pf::UIViewAutoresizingNone);
    stopButton = makeButton(*bar, {120, y, 96, h}, "Stop", pf::UIViewAutoresizingNone);
    buttonInfo = makeButton(*bar, {canvas.size.width - 216, y, 96, h}, "Info",
                            pf::UIViewAutoresizingFlexibleLeftMargin);
    buttonHelp = makeButton(*bar, {canvas.size.width - 108, y, 96, h}, "Help",
                            pf::UIViewAutoresizingFlexibleLeftMargin);

    pluginView = std::make_shared<pf::UIView>(
        pf::CGRect{0, kBarHeight, canvas.size.width, canvas.size.height - kBarHeight});
    pluginView->autoresizingMask =
        pf::UIViewAutoresizingFlexibleWidth | pf::UIViewAutoresizingFlexibleHeight;
    pluginView->setClipsToBounds(true);
    root->addSubview(pluginView);

    setView(root);

    const auto screen = self();
    connect(*buttonUnit, screen, "onButtonUnit:", [](ViewController& c, pf::UIControl& sender) {
        c.onButtonUnit(sender.shared_from_this());
    });
    connect(*playButton, screen, "onPlayButton:", [](ViewController& c, pf::UIControl& sender) {
        if (auto* button = dynamic_cast<pf::UIButton*>(&sender)) c.onPlayButton(*button);
    });
    connect(*stopButton, screen, "onStopButton:", [](ViewController& c, pf::UIControl& sender) {
        if (auto* button = dynamic_cast<pf::UIButton*>(&sender)) c.onStopButton(*button);
    });
    connect(*buttonHelp, screen, "showHelp:", [](ViewController& c, pf::UIControl& sender) {
        c.showHelp(sender.shared_from_this());
    });
    // The info button has no action of its own: it triggers the segue.
    connect(*buttonInfo, screen, "ShowInfo", [](ViewController& c, pf::UIControl& sender) {
        (void)c.performSegue("ShowInfo", sender.shared_from_this());
    });
}

std::shared_ptr<ViewController> makeMainScreen() {
    auto screen = std::make_shared<ViewController>();
    const auto toHelp = [] { return std::make_shared<HelpViewController>(); };
    screen->registerSegue("ShowHelp", toHelp);
    screen->registerSegue("ShowInfo", toHelp);
    return screen;
}

void registerMainStoryboard() {
    pf::UIStoryboard::registerStoryboard("Main", ViewController::kCanvasSize,
                                         [] { return makeMainScreen(); });
}
