#include "URLLoader.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "core/Check.h"

namespace orvex {

namespace {

// libcurl's global state is set up once, before the first handle, whichever thread comes first.
bool curlReady() {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

std::mutex gLimitsMutex;
URLLoadLimits gLimits;

const char* describe(long code) {
    switch (code) {
    case NSURLErrorTimedOut:
        return "The request timed out.";
    case NSURLErrorUnsupportedURL:
        return "unsupported URL";
    case NSURLErrorCannotFindHost:
        return "A server with the specified hostname could not be found.";
    case NSURLErrorCannotConnectToHost:
        return "Could not connect to the server.";
    case NSURLErrorNetworkConnectionLost:
        return "The network connection was lost.";
    case NSURLErrorHTTPTooManyRedirects:
        return "too many HTTP redirects";
    case NSURLErrorFileDoesNotExist:
        return "The requested URL was not found on this server.";
    case NSURLErrorDataLengthExceedsMaximum:
        return "resource exceeds maximum size";
    case NSURLErrorSecureConnectionFailed:
        return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case NSURLErrorServerCertificateUntrusted:
        return "The certificate for this server is invalid.";
    default:
        return "unknown error";
    }
}

long errorCode(CURLcode rc, bool bodyTooLarge) {
    if (bodyTooLarge) return NSURLErrorDataLengthExceedsMaximum;
    switch (rc) {
    case CURLE_OPERATION_TIMEDOUT:
        return NSURLErrorTimedOut;
    // A redirect to a scheme other than http or https ends here too.
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return NSURLErrorUnsupportedURL;
    case CURLE_COULDNT_RESOLVE_HOST:
        return NSURLErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT:
        return NSURLErrorCannotConnectToHost;
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return NSURLErrorNetworkConnectionLost;
    case CURLE_TOO_MANY_REDIRECTS:
        return NSURLErrorHTTPTooManyRedirects;
    case CURLE_FILESIZE_EXCEEDED:
        return NSURLErrorDataLengthExceedsMaximum;
    case CURLE_SSL_CONNECT_ERROR:
        return NSURLErrorSecureConnectionFailed;
    case CURLE_PEER_FAILED_VERIFICATION:
        return NSURLErrorServerCertificateUntrusted;
    default:
        return NSURLErrorUnknown;
    }
}

// One transfer: its easy handle, the body collected so far and what to call when it ends.
struct Transfer {
    explicit Transfer(pf::URL address) : url(std::move(address)) {}
    ~Transfer() {
        if (easy) curl_easy_cleanup(easy);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    pf::URL url;
    CURL* easy = nullptr;
    std::size_t maxBody = 0;
    bool bodyTooLarge = false;
    URLLoadResult result;
    std::function<void(URLLoadResult)> completion;
};

// Called by libcurl from inside its transfer functions: nothing may be thrown through it.
std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) noexcept {
    auto& t = *static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    if (n > t.maxBody - t.result.body.size()) {
        t.bodyTooLarge = true;
        return 0;
    }
    try {
        t.result.body.insert(t.result.body.end(), data, data + n);
    } catch (...) {
        return 0;
    }
    return n;
}

// Makes the easy handle of `t` with the current bounds; false when libcurl refuses.
bool prepare(Transfer& t) {
    if (!curlReady()) return false;
    t.easy = curl_easy_init();
    if (!t.easy) return false;
    const URLLoadLimits l = URLLoader::limits();
    t.maxBody = l.maxBodyBytes;
    CURL* e = t.easy;
    bool ok = curl_easy_setopt(e, CURLOPT_URL, t.url.absoluteString().c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_MAXREDIRS, std::max(0L, l.maxRedirects)) == CURLE_OK;
    // Several transfers run on threads of their own: no signals for name look-ups.
    ok = ok && curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                                static_cast<long>(l.connectTimeout.count())) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(l.totalTimeout.count())) ==
                   CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME,
                                std::max(1L, static_cast<long>(l.idleTimeout.count()))) == CURLE_OK;
    // A declared length above the cap is refused before the body is read; onBody guards the rest.
    ok = ok && curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE,
                                static_cast<curl_off_t>(l.maxBodyBytes)) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_WRITEDATA, &t) == CURLE_OK;
    return ok;
}

// Fills in the result of `t` from libcurl's code for the ended transfer.
void finish(Transfer& t, CURLcode rc) {
    if (rc == CURLE_OK && !t.bodyTooLarge) {
        curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &t.result.statusCode);
        return;
    }
    t.result.error = urlError(errorCode(rc, t.bodyTooLarge), t.url);
    t.result.statusCode = 0;
    t.result.body.clear();
}

// The loader's thread: one multi handle drives every asynchronous transfer.
class LoaderThread {
public:
    LoaderThread() : multi_(curlReady() ? curl_multi_init() : nullptr) {
        if (multi_) thread_ = std::thread([this] { run(); });
    }
    ~LoaderThread() {
        if (thread_.joinable()) {
            stopping_.store(true);
            curl_multi_wakeup(multi_);
            thread_.join();
        }
        for (auto& [easy, t] : active_)
            curl_multi_remove_handle(multi_, easy);
        active_.clear();
        if (multi_) curl_multi_cleanup(multi_);
    }
    LoaderThread(const LoaderThread&) = delete;
    LoaderThread& operator=(const LoaderThread&) = delete;

    // Takes `t` and returns true; false (and `t` left alone) when libcurl could not be set up.
    bool add(std::unique_ptr<Transfer>& t) {
        if (!multi_) return false;
        {
            std::lock_guard lock(mutex_);
            incoming_.push_back(std::move(t));
        }
        curl_multi_wakeup(multi_);
        return true;
    }

private:
    void run() {
        while (!stopping_.load()) {
            takeIncoming();
            int running = 0;
            curl_multi_perform(multi_, &running);
            completeEnded();
            curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
        }
    }

    void takeIncoming() {
        std::vector<std::unique_ptr<Transfer>> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(incoming_);
        }
        for (auto& t : batch) {
            if (curl_multi_add_handle(multi_, t->easy) != CURLM_OK) {
                finish(*t, CURLE_FAILED_INIT);
                deliver(*t);
                continue;
            }
            CURL* easy = t->easy;
            active_.emplace(easy, std::move(t));
        }
    }

    void completeEnded() {
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
            if (msg->msg != CURLMSG_DONE) continue;
            auto it = active_.find(msg->easy_handle);
            if (it == active_.end()) continue;
            const CURLcode rc = msg->data.result;
            std::unique_ptr<Transfer> t = std::move(it->second);
            active_.erase(it);
            curl_multi_remove_handle(multi_, t->easy);
            finish(*t, rc);
            deliver(*t);
        }
    }

    static void deliver(Transfer& t) {
        try {
            t.completion(std::move(t.result));
        } catch (...) {
            // A completion that throws loses its own result only; the other transfers go on.
        }
    }

    CURLM* multi_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Transfer>> incoming_;
    std::map<CURL*, std::unique_ptr<Transfer>> active_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

LoaderThread& loaderThread() {
    static LoaderThread thread;
    return thread;
}

} // namespace

pf::NSError urlError(long code, const pf::URL& url) {
    return pf::NSError(NSURLErrorDomain, code,
                       {{NSErrorFailingURLStringKey, url.absoluteString()},
                        {pf::NSLocalizedDescriptionKey, describe(code)}});
}

bool URLLoader::handles(const pf::URL& url) {
    return url.scheme() == "http" || url.scheme() == "https";
}

URLLoadLimits URLLoader::limits() {
    std::lock_guard lock(gLimitsMutex);
    return gLimits;
}

void URLLoader::setLimits(const URLLoadLimits& limits) {
    std::lock_guard lock(gLimitsMutex);
    gLimits = limits;
}

URLLoadResult URLLoader::load(const pf::URL& url) {
    if (!pf::checkNotRenderThread("URLLoader::load() blocks: never on the render thread"))
        return {urlError(NSURLErrorUnknown, url), 0, {}};
    if (!handles(url)) return {urlError(NSURLErrorUnsupportedURL, url), 0, {}};
    Transfer t(url);
    if (!prepare(t)) return {urlError(NSURLErrorUnknown, url), 0, {}};
    finish(t, curl_easy_perform(t.easy));
    return std::move(t.result);
}

void URLLoader::loadAsync(const pf::URL& url, std::function<void(URLLoadResult)> completion) {
    if (!pf::checkNotRenderThread("URLLoader::loadAsync() allocates: never on the render thread"))
        return;
    auto t = std::make_unique<Transfer>(url);
    t->completion = std::move(completion);
    if (!handles(url)) {
        t->result.error = urlError(NSURLErrorUnsupportedURL, url);
    } else if (!prepare(*t)) {
        t->result.error = urlError(NSURLErrorUnknown, url);
    } else if (loaderThread().add(t)) {
        return;
    } else {
        t->result.error = urlError(NSURLErrorUnknown, url);
    }
    t->completion(std::move(t->result));
}

} // namespace orvex
