#include "output/FileType.h"

#include <algorithm>

namespace gw {
namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
    return suffix.size() <= text.size() &&
           std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(),
                      [](char a, char b) { return lower(a) == lower(b); });
}

} // namespace

std::string withFileType(const std::string& path, const std::vector<std::string_view>& extensions) {
    const std::size_t slash = path.rfind('/');
    const std::string_view name =
        std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.empty() || extensions.empty() || extensions.front().empty()) return path;
    for (const std::string_view extension : extensions) {
        if (!extension.empty() && name.size() > extension.size() + 1 &&
            name[name.size() - extension.size() - 1] == '.' && endsWithNoCase(name, extension))
            return path;
    }
    return path + (name.ends_with('.') ? "" : ".") + std::string(extensions.front());
}

} // namespace gw
