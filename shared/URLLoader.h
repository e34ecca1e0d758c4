// http and https transfers for the image loaders, through libcurl.
//
// Only http and https are fetched, and redirects are followed only to http and https, at most
// `maxRedirects` of them. Every transfer is bounded: a connect timeout, an idle timeout (less
// than one byte a second for that long), a total timeout, and a cap on the body. A transfer
// that breaks a bound fails with an error of NSURLErrorDomain; an HTTP status other than 200 is
// no failure (the status and body are reported as they came).
//
// Never call from the render thread: everything here allocates, and load() blocks. Debug builds
// report such a call through pf::checkFailed(); load() then fails at once and loadAsync() starts
// nothing and never calls its completion.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/NSError.h"
#include "core/URL.h"

namespace orvex {

inline constexpr const char* NSURLErrorDomain = "NSURLErrorDomain";
inline constexpr const char* NSErrorFailingURLStringKey = "NSErrorFailingURLStringKey";

// The bounds of every transfer. The defaults follow a request made with a 60-second time-out.
struct URLLoadLimits {
    std::chrono::milliseconds connectTimeout{60'000};
    // Whole seconds (at least 1): libcurl measures the idle time in seconds.
    std::chrono::seconds idleTimeout{60};
    std::chrono::milliseconds totalTimeout{120'000};
    std::size_t maxBodyBytes = std::size_t{64} << 20;
    long maxRedirects = 8;
};

// The outcome of one transfer: either an error, or the status and body of the last response.
struct URLLoadResult {
    std::optional<pf::NSError> error;
    long statusCode = 0;
    std::vector<std::uint8_t> body;
};

// Errors the loaders report, with the platform's codes and wording.
pf::NSError urlError(long code, const pf::URL& url);
inline constexpr long NSURLErrorUnknown = -1;
inline constexpr long NSURLErrorTimedOut = -1001;
inline constexpr long NSURLErrorUnsupportedURL = -1002;
inline constexpr long NSURLErrorCannotFindHost = -1003;
inline constexpr long NSURLErrorCannotConnectToHost = -1004;
inline constexpr long NSURLErrorNetworkConnectionLost = -1005;
inline constexpr long NSURLErrorHTTPTooManyRedirects = -1007;
inline constexpr long NSURLErrorFileDoesNotExist = -1100;
inline constexpr long NSURLErrorDataLengthExceedsMaximum = -1103;
inline constexpr long NSURLErrorSecureConnectionFailed = -1200;
inline constexpr long NSURLErrorServerCertificateUntrusted = -1202;

class URLLoader {
public:
    // [any-thread] True for the schemes this loader fetches: http and https.
    static bool handles(const pf::URL& url);

    // [any-thread] The bounds of transfers that start from now on.
    static URLLoadLimits limits();
    static void setLimits(const URLLoadLimits& limits);

    // [any-thread] Fetches `url` on the calling thread and returns when the transfer has ended.
    // A scheme other than http or https fails with NSURLErrorUnsupportedURL.
    static URLLoadResult load(const pf::URL& url);

    // [any-thread] Starts fetching `url` and returns at once. The transfer runs on the loader's
    // own thread, next to the other transfers in flight; `completion` is called once, on that
    // thread, when it ends (it must return quickly and not throw). Transfers still in flight when
    // the process exits are dropped without a call. A transfer that cannot start (another scheme,
    // libcurl unavailable) calls `completion` with its error before loadAsync() returns.
    static void loadAsync(const pf::URL& url, std::function<void(URLLoadResult)> completion);
};

} // namespace orvex
