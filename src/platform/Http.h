#pragma once
// One synchronous download of a URL's whole body, with hard limits: the content comes from
// servers the program does not control.

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

namespace gw::platform {

struct HttpLimits {
    std::chrono::milliseconds connectTimeout{5000};
    std::chrono::milliseconds totalTimeout{10000}; // connecting, redirects and body together
    std::size_t maxBodyBytes = 64 * 1024;          // a longer body is a failed download
    long maxRedirects = 3;                         // each only to http or https
};

struct HttpResult {
    bool ok = false;
    std::string body;
    std::string error; // "<url>: <reason>" when not ok
};

// Lets another thread end a running download at once. Once cancelled, it stays cancelled.
class CancelSignal {
public:
    void cancel() {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        if (wake_) wake_();
    }
    bool cancelled() const {
        std::lock_guard lock(mutex_);
        return cancelled_;
    }
    // For the download: how to wake it while it waits; an empty function when it no longer
    // waits. Returns whether it was cancelled already.
    bool setWake(std::function<void()> wake) {
        std::lock_guard lock(mutex_);
        wake_ = std::move(wake);
        return cancelled_;
    }

private:
    mutable std::mutex mutex_;
    bool cancelled_ = false;
    std::function<void()> wake_;
};

class HttpClient {
public:
    virtual ~HttpClient() = default;
    // GET `url` (http or https only; certificates verified). An answer of 400 or more, a body
    // over the limit, a redirect to any other scheme, or a cancel is a failure. Safe to call
    // from any thread, one download per call.
    virtual HttpResult get(const std::string& url, const HttpLimits& limits,
                           CancelSignal& cancel) = 0;

protected:
    HttpClient() = default;
    HttpClient(const HttpClient&) = default;
    HttpClient& operator=(const HttpClient&) = default;
};

} // namespace gw::platform
