#pragma once
// Loads the windows that are made afresh each time they open (the preview window) from their
// interface files in the resource folder.

#include "platform/Window.h"

#include <string>

namespace gw::platform {

// What loading the preview window's interface file connects.
struct PreviewOutlets {
    Window* preview = nullptr;
    TextView* previewText2 = nullptr;
};

class InterfaceLoader {
public:
    virtual ~InterfaceLoader() = default;
    // Loads the interface file `fileName` and sets both outlets. False, with the outlets left as
    // they were, when the file is missing, unreadable or does not hold both objects. The window
    // lives until it is closed and is never reused.
    virtual bool loadPreviewWindow(const std::string& fileName, PreviewOutlets& outlets) = 0;

protected:
    InterfaceLoader() = default;
    InterfaceLoader(const InterfaceLoader&) = default;
    InterfaceLoader& operator=(const InterfaceLoader&) = default;
};

} // namespace gw::platform
