#pragma once
// Where the message feed comes from, and whether it is fetched at all.

#include <string>

namespace gw::platform {

// $GLYPHWERK_FEED_URL when set and not empty, else
// "https://<host>/notification/notification.txt" with the host fixed at build time
// (GLYPHWERK_FEED_HOST).
std::string notificationFeedURL();

// True when $GLYPHWERK_NO_FEED is "1".
bool notificationFeedOffByEnvironment();

} // namespace gw::platform
