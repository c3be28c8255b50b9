#pragma once
// What a notification carries: the object it is about (a window, a field), compared by identity.

namespace gw::platform {

struct Notification {
    const void* object = nullptr;
};

} // namespace gw::platform
