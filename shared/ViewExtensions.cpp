#include "ViewExtensions.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "core/Console.h"
#include "core/Dispatch.h"
#include "core/ProcessInfo.h"
#include "core/URL.h"
#include "ui/UIImage.h"

namespace orvex {

namespace {

// The support library's debug log: the line is printed later, on the main queue.
void debugLine(std::string text) {
    pf::DispatchQueue::main().async([text = std::move(text)] { pf::Console::printLine(text); });
}

std::optional<std::vector<std::uint8_t>> readWhole(const pf::URL& url) {
    if (!url.isFileURL()) return std::nullopt;
    std::ifstream in(url.path(), std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

// An address is text that parses as an absolute URL.
std::optional<pf::URL> address(std::string_view text) {
    auto url = pf::URL::string(text);
    if (!url || url->scheme().empty()) return std::nullopt;
    return url;
}

} // namespace

std::string uniqueName(const std::optional<std::string>& withPrefix) {
    const std::string unique = pf::ProcessInfo::processInfo().globallyUniqueString();
    return withPrefix ? *withPrefix + "-" + unique : unique;
}

void pinToSuperviewEdges(pf::UIView& view) {
    pf::UIView* super = view.superview();
    if (!super) return;
    view.translatesAutoresizingMaskIntoConstraints = false;
    const std::weak_ptr<pf::UIView> v = view.weak_from_this();
    const std::weak_ptr<pf::UIView> s = super->weak_from_this();
    using A = pf::NSLayoutAttribute;
    pf::NSLayoutConstraint::activate({
        {v, A::top, s, A::top},
        {v, A::leading, s, A::leading},
        {v, A::bottom, s, A::bottom},
        {v, A::trailing, s, A::trailing},
    });
}

void loadFrom(const std::shared_ptr<pf::UIImageView>& imageView, std::string_view URLAddress) {
    const auto url = address(URLAddress);
    if (!url) {
        debugLine("UIImageView::loadFrom() : Could not encode url string : " +
                  std::string(URLAddress));
        return;
    }
    std::weak_ptr<pf::UIImageView> weak = imageView;
    pf::DispatchQueue::main().async([url = *url, weak] {
        const auto data = readWhole(url);
        if (!data) {
            debugLine("UIImageView::loadFrom() : Could not encode image data.");
            return;
        }
        auto image = pf::UIImage::fromData(*data);
        auto view = weak.lock();
        if (image && view) {
            view->setImage(std::move(image));
            return;
        }
        debugLine("UIImageView::loadFrom() : Could not assign image.");
    });
}

void getImageFromURLString(const std::shared_ptr<pf::UIImageView>& imageView,
                           std::string_view imageURLString) {
    const auto url = address(imageURLString);
    if (!url) return;
    // The fetch runs off the main thread; the result is applied on the main queue.
    pf::DispatchQueue::global().async([url = *url, imageView] {
        if (!url.isFileURL()) {
            pf::Console::printLine("Error Domain=NSURLErrorDomain Code=-1002 \"unsupported URL\"");
            return;
        }
        const auto data = readWhole(url);
        if (!data) {
            pf::Console::printLine(
                "Error Domain=NSURLErrorDomain Code=-1100 \"The requested URL was "
                "not found on this server.\"");
            return;
        }
        // A file response is no HTTP response: nothing is printed for it.
        auto image = pf::UIImage::fromData(*data);
        pf::DispatchQueue::main().async([imageView, image = std::move(image)]() mutable {
            imageView->setImage(std::move(image));
        });
    });
}

double redValue(const pf::UIColor& color) {
    return color.red();
}
double greenValue(const pf::UIColor& color) {
    return color.green();
}
double blueValue(const pf::UIColor& color) {
    return color.blue();
}
double alphaValue(const pf::UIColor& color) {
    return color.alpha();
}

} // namespace orvex
