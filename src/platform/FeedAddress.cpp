#include "platform/FeedAddress.h"

#include <cstdlib>
#include <string_view>

#ifndef GLYPHWERK_FEED_HOST
#error "GLYPHWERK_FEED_HOST must name the feed's host"
#endif

namespace gw::platform {

std::string notificationFeedURL() {
    const char* fromEnvironment = std::getenv("GLYPHWERK_FEED_URL");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
    return std::string("https://") + GLYPHWERK_FEED_HOST + "/notification/notification.txt";
}

bool notificationFeedOffByEnvironment() {
    const char* off = std::getenv("GLYPHWERK_NO_FEED");
    return off != nullptr && std::string_view(off) == "1";
}

} // namespace gw::platform
