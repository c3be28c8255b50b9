#pragma once
// HttpClient over libcurl. Each get() has its own handles, so calls on several threads do not
// meet; the library's global set-up runs once, on first use.

#include "platform/Http.h"

namespace gw::platform {

class CurlHttpClient final : public HttpClient {
public:
    CurlHttpClient();
    HttpResult get(const std::string& url, const HttpLimits& limits, CancelSignal& cancel) override;
};

} // namespace gw::platform
