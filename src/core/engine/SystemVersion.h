#pragma once
// The operating-system version as the conversion engine wants it: a decimal number whose digits
// are the digits of the system's version code (10.7.0 reads as 1070). At 1070 and above the
// engine asks the screens for their backing scale factor.

#include <cstdint>
#include <string_view>

namespace gw {

// Delivers the system's version code, one hexadecimal digit per version component (0x1070 for
// 10.7.0). False when the system cannot tell.
using VersionQuery = bool (*)(std::uint32_t& code);

// Asked once per process, the first call deciding; a failure logs
// "Error getting QVMacOSVersion()" and leaves 0 for good. Success logs "Mac OS Version %d".
// Safe to call from several threads.
int QVMacOSVersion();

// Replaces the query that the next uncached call uses; returns the previous one. Null restores
// the system's own query.
VersionQuery setVersionQuery(VersionQuery query);

// Forgets the cached answer so that the next call asks again. For tests.
void resetVersionCache();

// Reads a Linux kernel release ("6.1.0-18-amd64") as a version code: major, minor and patch
// as one hexadecimal digit each, every component above 9 held at 9, so 6.1.0 gives 0x610 and
// 5.15.2 gives 0x592. A kernel thus always reads below 1070. False when the release does not
// start with a number.
bool linuxVersionCode(std::string_view release, std::uint32_t& code);

} // namespace gw
