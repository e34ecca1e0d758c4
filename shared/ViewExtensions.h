// View, image and colour helpers of the shared support library: a unique name maker, pinning a
// view into its container, two ways of loading an image from an address into an image view,
// and read-only colour components. [main-thread] unless a function says otherwise.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ui/UIColor.h"
#include "ui/UIImageView.h"
#include "ui/UIView.h"

namespace orvex {

// [any-thread] The process's globally unique string, new on every call; with a prefix (an
// empty one counts) "prefix-unique".
std::string uniqueName(const std::optional<std::string>& withPrefix);

// Pins the view's top, leading, bottom and trailing edges to its superview's, activating the
// four constraints in one call. Without a superview nothing changes at all; called again it
// adds four more.
void pinToSuperviewEdges(pf::UIView& view);

// Queues a load of the address on the main queue and returns. The queued work reads the whole
// content (blocking the main thread while it reads), makes an image and sets it on the image
// view if the view still exists. Each failure logs one line through debugprint(): the text
// cannot be parsed as an address (empty, or holding characters an address may not hold, such as
// spaces; nothing is queued then), there is no data, or no image could be assigned (no image in
// the data, or the view is gone). A relative reference ("red.png") is an address, but there is
// nothing to read it against, so it is no data. Addresses read: file: (a regular file of at most
// UIImage::kMaxFileBytes; anything else, a named pipe, a device or a directory, is no data,
// refused without blocking), and http and https through URLLoader with its bounds (time-outs,
// body cap, redirects only to http and https); any HTTP response is data, whatever its status;
// a failed transfer or another scheme is no data.
void loadFrom(const std::shared_ptr<pf::UIImageView>& imageView, std::string_view URLAddress);

// Starts an asynchronous fetch of the address and returns before the request is made; the fetch
// holds the view until it is done. Text that cannot be parsed as an address does nothing (a
// relative reference is an address, and fails as another scheme does). http and https run on
// URLLoader's thread, file: URLs on a worker (read as loadFrom reads them: a file that is not
// regular or is too large fails as a missing one); the data is decoded off the main thread.
// Then, on the main queue: a failed fetch prints its error's description to standard output and
// leaves the image alone; otherwise an HTTP 200 response prints "Fetched image successfully"
// and the view's image becomes the image made from the data (none when the data is no image, so
// a 404 page empties the view). Other schemes fail with "unsupported URL".
void getImageFromURLString(const std::shared_ptr<pf::UIImageView>& imageView,
                           std::string_view imageURLString);

// [any-thread] A colour's components, as double-precision floats.
double redValue(const pf::UIColor& color);
double greenValue(const pf::UIColor& color);
double blueValue(const pf::UIColor& color);
double alphaValue(const pf::UIColor& color);

} // namespace orvex
