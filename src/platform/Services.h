#pragma once
// Application-wide services: user defaults, panels, alerts, the workspace, screens and folders.

#include <optional>
#include <string>
#include <vector>

namespace gw::platform {

// Persistent per-user settings. Not thread-safe: every thread makes its own object.
class UserDefaults {
public:
    virtual ~UserDefaults() = default;
    virtual long integerForKey(const std::string& key) const = 0; // 0 when absent
    virtual void setInteger(long value, const std::string& key) = 0;
    virtual std::optional<std::string> stringForKey(const std::string& key) const = 0;
    virtual void setString(const std::string& value, const std::string& key) = 0;
    virtual void synchronize() = 0;

protected:
    UserDefaults() = default;
    UserDefaults(const UserDefaults&) = default;
    UserDefaults& operator=(const UserDefaults&) = default;
};

// Modal file panels. Each returns the chosen path, or nothing when the user cancels.
class Panels {
public:
    virtual ~Panels() = default;
    // `directory`: a folder, or a file whose folder the panel starts in; nothing for the default.
    virtual std::optional<std::string> runOpenPanel(const std::optional<std::string>& directory,
                                                    const std::vector<std::string>& fileTypes) = 0;
    // A save panel offers one type of file, `typeName`, with its extensions `fileTypes` (the
    // first is the type's own). The path it gives back ends in one of them: a name typed
    // without gets the first (output/FileType.h).
    virtual std::optional<std::string> runSavePanel(const std::optional<std::string>& directory,
                                                    const std::vector<std::string>& fileTypes,
                                                    const std::string& proposedName,
                                                    const std::string& typeName) = 0;

protected:
    Panels() = default;
    Panels(const Panels&) = default;
    Panels& operator=(const Panels&) = default;
};

class Alerts {
public:
    virtual ~Alerts() = default;
    // A modal warning with one OK button.
    virtual void showWarning(const std::string& title, const std::string& message) = 0;
    // A modal alert with an accepting and a declining button; true when accepted.
    virtual bool runAlert(const std::string& title, const std::string& message,
                          const std::string& acceptTitle, const std::string& declineTitle) = 0;

protected:
    Alerts() = default;
    Alerts(const Alerts&) = default;
    Alerts& operator=(const Alerts&) = default;
};

// Hands files and links to the user's default applications.
class Workspace {
public:
    virtual ~Workspace() = default;
    virtual bool openFile(const std::string& path) = 0;
    virtual bool openURL(const std::string& url) = 0;

protected:
    Workspace() = default;
    Workspace(const Workspace&) = default;
    Workspace& operator=(const Workspace&) = default;
};

class Screens {
public:
    virtual ~Screens() = default;
    // Device pixels per point of every screen, in the system's order; empty without screens.
    virtual std::vector<double> backingScaleFactors() const = 0;

protected:
    Screens() = default;
    Screens(const Screens&) = default;
    Screens& operator=(const Screens&) = default;
};

class Folders {
public:
    virtual ~Folders() = default;
    // The per-user application data folders, most important first (may be empty).
    virtual std::vector<std::string> applicationSupportDirectories() const = 0;
    // The folder holding Table.txt and Samples/; empty when none was found.
    virtual std::string bundleFolder() const = 0;
    // The user's documents folder.
    virtual std::string documentsFolder() const = 0;
    // Creates `path` and its missing parents; true when it exists afterwards.
    virtual bool createFolder(const std::string& path) = 0;

protected:
    Folders() = default;
    Folders(const Folders&) = default;
    Folders& operator=(const Folders&) = default;
};

// The folder an open or save panel starts in for `directory`: the path itself when it is a
// folder, else the folder that holds it. Nothing for an empty path.
std::optional<std::string> panelStartFolder(const std::optional<std::string>& directory);

} // namespace gw::platform
