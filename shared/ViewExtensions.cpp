#include "ViewExtensions.h"

#include <vector>

#include "Extensions.h"
#include "URLLoader.h"
#include "core/Console.h"
#include "core/Dispatch.h"
#include "core/FileManager.h"
#include "core/ProcessInfo.h"
#include "core/URL.h"
#include "ui/UIImage.h"

namespace orvex {

namespace {

std::optional<std::vector<std::uint8_t>> readFile(const pf::URL& url) {
    return pf::FileManager::defaultManager().contents(url.path(), pf::UIImage::kMaxFileBytes);
}

// The whole content at the address, read on the calling thread; nothing on any failure. An HTTP
// response counts as content whatever its status: only a failed transfer gives nothing.
std::optional<std::vector<std::uint8_t>> readWhole(const pf::URL& url) {
    if (url.isFileURL()) return readFile(url);
    if (!URLLoader::handles(url)) return std::nullopt;
    URLLoadResult result = URLLoader::load(url);
    if (result.error) return std::nullopt;
    return std::move(result.body);
}

// What a fetch hands back to the main queue: an error, or the response with its decoded image.
struct Fetched {
    std::optional<pf::NSError> error;
    bool isHTTP = false;
    long statusCode = 0;
    std::shared_ptr<pf::UIImage> image;
};

// The end of a fetch, on the main queue: the error or the success line goes straight to standard
// output, then the image (none when the data was no image) replaces the view's.
void applyFetched(const std::shared_ptr<pf::UIImageView>& imageView, Fetched fetched) {
    if (fetched.error) {
        pf::Console::printLine(fetched.error->debugDescription());
        return;
    }
    if (fetched.isHTTP && fetched.statusCode == 200)
        pf::Console::printLine("Fetched image successfully");
    imageView->setImage(std::move(fetched.image));
}

// Decodes off the main thread, then applies the result on the main queue.
void decodeAndApply(std::shared_ptr<pf::UIImageView> imageView, Fetched fetched,
                    std::vector<std::uint8_t> body) {
    pf::DispatchQueue::global().async([imageView = std::move(imageView),
                                       fetched = std::move(fetched),
                                       body = std::move(body)]() mutable {
        if (!fetched.error) fetched.image = pf::UIImage::fromData(body);
        pf::DispatchQueue::main().async(
            [imageView = std::move(imageView), fetched = std::move(fetched)]() mutable {
                applyFetched(imageView, std::move(fetched));
            });
    });
}

// The fetch itself. http and https run on the loader's thread, files on a worker; the main
// thread never waits for either.
void requestImageFromURL(std::shared_ptr<pf::UIImageView> imageView, const pf::URL& url) {
    if (URLLoader::handles(url)) {
        URLLoader::loadAsync(url, [imageView = std::move(imageView)](URLLoadResult r) mutable {
            decodeAndApply(std::move(imageView), {std::move(r.error), true, r.statusCode, {}},
                           std::move(r.body));
        });
        return;
    }
    if (!url.isFileURL()) {
        Fetched unsupported;
        unsupported.error = urlError(NSURLErrorUnsupportedURL, url);
        decodeAndApply(std::move(imageView), std::move(unsupported), {});
        return;
    }
    pf::DispatchQueue::global().async([imageView = std::move(imageView), url]() mutable {
        auto data = readFile(url);
        // A file response is no HTTP response: nothing is printed for it.
        Fetched fetched;
        if (!data) fetched.error = urlError(NSURLErrorFileDoesNotExist, url);
        decodeAndApply(std::move(imageView), std::move(fetched),
                       data ? std::move(*data) : std::vector<std::uint8_t>{});
    });
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
    const auto url = pf::URL::string(URLAddress);
    if (!url) {
        debugprint("UIImageView::loadFrom() : Could not encode url string : " +
                   std::string(URLAddress));
        return;
    }
    std::weak_ptr<pf::UIImageView> weak = imageView;
    pf::DispatchQueue::main().async([url = *url, weak] {
        const auto data = readWhole(url);
        if (!data) {
            debugprint("UIImageView::loadFrom() : Could not encode image data.");
            return;
        }
        auto image = pf::UIImage::fromData(*data);
        auto view = weak.lock();
        if (image && view) {
            view->setImage(std::move(image));
            return;
        }
        debugprint("UIImageView::loadFrom() : Could not assign image.");
    });
}

void getImageFromURLString(const std::shared_ptr<pf::UIImageView>& imageView,
                           std::string_view imageURLString) {
    const auto url = pf::URL::string(imageURLString);
    if (!url) return;
    requestImageFromURL(imageView, *url);
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
