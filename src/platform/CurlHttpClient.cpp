#include "platform/CurlHttpClient.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace gw::platform {

namespace {

struct Body {
    std::string bytes;
    std::size_t limit = 0;
    bool tooLong = false;
};

// Refusing bytes past the limit makes libcurl end the transfer with a write error.
std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
    Body& body = *static_cast<Body*>(user);
    const std::size_t n = size * count;
    if (n > body.limit - body.bytes.size()) {
        body.tooLong = true;
        return 0;
    }
    body.bytes.append(data, n);
    return n;
}

// The easy handle must leave the multi handle before either is cleaned up.
struct Handles {
    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    bool added = false;
    Handles() = default;
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;
    ~Handles() {
        if (added) curl_multi_remove_handle(multi, easy);
        if (easy != nullptr) curl_easy_cleanup(easy);
        if (multi != nullptr) curl_multi_cleanup(multi);
    }
};

// Clears the wake hook on every way out, before the multi handle it names goes.
struct WakeGuard {
    CancelSignal& signal;
    explicit WakeGuard(CancelSignal& s) : signal(s) {}
    WakeGuard(const WakeGuard&) = delete;
    WakeGuard& operator=(const WakeGuard&) = delete;
    ~WakeGuard() { signal.setWake({}); }
};

} // namespace

CurlHttpClient::CurlHttpClient() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpResult CurlHttpClient::get(const std::string& url, const HttpLimits& limits,
                               CancelSignal& cancel) {
    HttpResult result;
    const auto fail = [&](const std::string& reason) {
        result.error = url + ": " + reason;
        return result;
    };
    Handles h;
    if (h.easy == nullptr || h.multi == nullptr) return fail("cannot start a download");

    char curlError[CURL_ERROR_SIZE] = "";
    Body body;
    body.limit = limits.maxBodyBytes;
    CURL* e = h.easy;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, curlError);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, limits.maxRedirects);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(limits.connectTimeout.count()));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeout.count()));
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L); // signals belong to the whole process
    // A cancelled name lookup is left to finish on its own instead of being waited for.
    curl_easy_setopt(e, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Glyphwerk");
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &body);

    if (curl_multi_add_handle(h.multi, e) != CURLM_OK) return fail("cannot start a download");
    h.added = true;

    // Driving the one transfer through a multi handle lets a cancel wake the wait at once,
    // in every phase (name lookup, connecting, waiting for data).
    WakeGuard guard(cancel);
    if (cancel.setWake([multi = h.multi] { curl_multi_wakeup(multi); }))
        return fail("the download was cancelled");
    int running = 1;
    for (;;) {
        if (cancel.cancelled()) return fail("the download was cancelled");
        CURLMcode status = curl_multi_perform(h.multi, &running);
        if (status != CURLM_OK) return fail(curl_multi_strerror(status));
        if (running == 0) break;
        status = curl_multi_poll(h.multi, nullptr, 0, 1000, nullptr);
        if (status != CURLM_OK) return fail(curl_multi_strerror(status));
    }

    int queued = 0;
    const CURLMsg* message = curl_multi_info_read(h.multi, &queued);
    if (message == nullptr || message->msg != CURLMSG_DONE)
        return fail("the download ended without a result");
    const CURLcode code = message->data.result;
    if (body.tooLong || code == CURLE_FILESIZE_EXCEEDED)
        return fail("the answer is longer than " + std::to_string(limits.maxBodyBytes) + " bytes");
    if (code == CURLE_HTTP_RETURNED_ERROR) {
        long status = 0;
        curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
        return fail("the server answered " + std::to_string(status));
    }
    if (code == CURLE_TOO_MANY_REDIRECTS)
        return fail("more than " + std::to_string(limits.maxRedirects) + " redirects");
    if (code != CURLE_OK) return fail(curlError[0] != '\0' ? curlError : curl_easy_strerror(code));
    result.ok = true;
    result.body = std::move(body.bytes);
    return result;
}

} // namespace gw::platform
