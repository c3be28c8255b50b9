#pragma once
// Folders after the XDG base-directory rules: the data home stands where other systems keep
// per-user application support files.

#include "platform/Services.h"

#include <string>

namespace gw::platform {

class StandardFolders final : public Folders {
public:
    // `bundle`: the resource folder found at start (see common/Resources.h).
    explicit StandardFolders(std::string bundle) : bundle_(std::move(bundle)) {}

    // $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share; none without $HOME.
    std::vector<std::string> applicationSupportDirectories() const override;
    std::string bundleFolder() const override { return bundle_; }
    // XDG_DOCUMENTS_DIR from user-dirs.dirs, else $HOME/Documents (which may not exist yet);
    // none without $HOME.
    std::string documentsFolder() const override;
    bool createFolder(const std::string& path) override;

private:
    std::string bundle_;
};

} // namespace gw::platform
