#pragma once
// Loads the preview window from its Designer form in the resource folder, at run time, with
// Qt's form loader: the window is "preview", its text view "previewText2" (a QtArtView) inside
// the scroll area "previewScroll". A window and its adapters are deleted after it closes.

#include "platform/InterfaceLoader.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <string>
#include <vector>

namespace gw::platform::qt {

class QtInterfaceLoader final : public InterfaceLoader {
public:
    // `resourceFolder`: where the forms are; `center`: where the windows report closing.
    QtInterfaceLoader(std::string resourceFolder, const WindowCloseCenter& center);
    ~QtInterfaceLoader() override;
    QtInterfaceLoader(const QtInterfaceLoader&) = delete;
    QtInterfaceLoader& operator=(const QtInterfaceLoader&) = delete;

    bool loadPreviewWindow(const std::string& fileName, PreviewOutlets& outlets) override;

    // The open preview window's widget, or null.
    QWidget* openPreviewWidget() const;

private:
    struct Loaded;
    void dropClosed();

    std::string folder_;
    const WindowCloseCenter& center_;
    std::vector<std::unique_ptr<Loaded>> windows_;
    QPointer<QObject> reaper_; // runs the deferred deletions on the event loop
};

} // namespace gw::platform::qt
