#pragma once
// A saved file keeps its type: the name a user typed gets the type's extension when it lacks it.

#include <string>
#include <string_view>
#include <vector>

namespace gw {

// `path` unchanged when its file name ends in "." and one of `extensions` (in any case, the
// name being more than that); otherwise with "." and the first extension appended, so "art"
// becomes "art.png" and "photo.jpg" becomes "photo.jpg.png" rather than a PNG file that calls
// itself a JPEG (and might replace the picture); "art." becomes "art.png". An empty file name
// (a path ending in '/') and an empty list give `path` back unchanged.
std::string withFileType(const std::string& path, const std::vector<std::string_view>& extensions);

} // namespace gw
