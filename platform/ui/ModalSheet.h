// The look shared by the drawn dialogs (alerts, document picker): a dimming view that covers
// whatever it is laid over, with a card centred in it that stays centred when it is resized.
// Internal to the interface layer. [main-thread]
#pragma once

#include <memory>

#include "ui/UIView.h"

namespace pf {

struct ModalSheet {
    std::shared_ptr<UIView> backdrop;
    std::shared_ptr<UIView> card;
};

inline ModalSheet makeModalSheet(CGFloat cardWidth, CGFloat cardHeight) {
    constexpr CGFloat kBackdropWidth = 480;
    constexpr CGFloat kBackdropHeight = 400;
    ModalSheet sheet;
    sheet.backdrop = std::make_shared<UIView>(CGRect{0, 0, kBackdropWidth, kBackdropHeight});
    sheet.backdrop->setBackgroundColor(UIColor::white(0, 0.35));
    sheet.card = std::make_shared<UIView>(CGRect{0, 0, cardWidth, cardHeight});
    sheet.card->setBackgroundColor(UIColor::white(0.96, 1));
    sheet.card->autoresizingMask =
        UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
        UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin;
    sheet.card->setCenter({kBackdropWidth / 2, kBackdropHeight / 2});
    sheet.backdrop->addSubview(sheet.card);
    return sheet;
}

} // namespace pf
