#include "engine/SystemVersion.h"

#include "common/Log.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <sys/utsname.h>

namespace gw {
namespace {

bool systemVersionQuery(std::uint32_t& code) {
    utsname names{};
    if (::uname(&names) != 0) return false;
    return linuxVersionCode(names.release, code);
}

struct VersionCache {
    std::mutex mutex;
    bool asked = false;
    int version = 0;
    VersionQuery query = &systemVersionQuery;
};

VersionCache& cache() {
    static VersionCache instance;
    return instance;
}

} // namespace

bool linuxVersionCode(std::string_view release, std::uint32_t& code) {
    std::uint32_t parts[3] = {0, 0, 0};
    std::size_t pos = 0;
    for (int part = 0; part < 3; ++part) {
        if (pos >= release.size() || release[pos] < '0' || release[pos] > '9') {
            if (part == 0) return false;
            break;
        }
        std::uint32_t value = 0;
        while (pos < release.size() && release[pos] >= '0' && release[pos] <= '9') {
            if (value < 10) value = value * 10 + static_cast<std::uint32_t>(release[pos] - '0');
            ++pos;
        }
        parts[part] = value > 9 ? 9 : value;
        if (pos < release.size() && release[pos] == '.') {
            ++pos;
        } else {
            break;
        }
    }
    code = (parts[0] << 8) | (parts[1] << 4) | parts[2];
    return true;
}

int QVMacOSVersion() {
    VersionCache& c = cache();
    std::lock_guard lock(c.mutex);
    if (c.asked) return c.version;
    c.asked = true; // before asking: a failed query is never repeated
    std::uint32_t code = 0;
    if (!c.query(code)) {
        systemLog("Error getting QVMacOSVersion()");
        return c.version;
    }
    char digits[16];
    const int length = std::snprintf(digits, sizeof digits, "%x", static_cast<unsigned>(code));
    // The leading decimal digits, as strtol reads them in the C locale; 0 when there are none.
    int version = 0;
    std::from_chars(digits, digits + std::max(length, 0), version, 10);
    c.version = version;
    systemLog("Mac OS Version " + std::to_string(c.version));
    return c.version;
}

VersionQuery setVersionQuery(VersionQuery query) {
    VersionCache& c = cache();
    std::lock_guard lock(c.mutex);
    const VersionQuery old = c.query;
    c.query = query != nullptr ? query : &systemVersionQuery;
    return old;
}

void resetVersionCache() {
    VersionCache& c = cache();
    std::lock_guard lock(c.mutex);
    c.asked = false;
    c.version = 0;
}

} // namespace gw
