#pragma once
// The image well: shows the current picture scaled to fit, and takes pictures dropped on it,
// either as files or as raw image data (as a web browser drags them).

#include "platform/Controls.h"

#include <QFrame>
#include <QImage>
#include <QMimeData>

#include <cstdint>

namespace gw::platform::qt {

class QtImageWell final : public QFrame, public ImageWell {
public:
    explicit QtImageWell(QWidget* parent = nullptr);

    // Must be set before drops are accepted; not owned.
    void setImageLoader(const ImageLoader* loader) { loader_ = loader; }

    bool isEnabled() const override { return QFrame::isEnabled(); }
    void setEnabled(bool enabled) override { QFrame::setEnabled(enabled); }
    void setAction(Action action) override { action_ = std::move(action); }
    std::shared_ptr<const Image> image() const override { return image_; }
    void setImage(std::shared_ptr<const Image> image) override;
    void setDropRefusedHandler(std::function<void(const std::string&)> handler) override {
        refused_ = std::move(handler);
    }
    // The controller's busy state; the well is busy as well while it loads a drop.
    void setBusy(bool busy) override;
    bool isBusy() const { return openBusy_ || dropBusy_; }

    // Takes a drop's data as a drop would: the picture is loaded in the background, and once
    // it is in, shown and the action sent. True when a picture was taken or is being loaded.
    // Public so that the clipboard and tests can feed it.
    bool acceptMimeData(const QMimeData* mime);

    QSize sizeHint() const override { return {360, 360}; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void refuse(const std::string& reason);
    void takeDropped(std::uint64_t drop, ImageLoad loaded);
    void showBusy();

    const ImageLoader* loader_ = nullptr;
    std::shared_ptr<const Image> image_;
    QImage thumbnail_;
    Action action_;
    std::function<void(const std::string&)> refused_;
    bool inDrop_ = false;
    bool openBusy_ = false;
    bool dropBusy_ = false;
    std::uint64_t drops_ = 0;   // drops begun; only the latest one's picture is taken
    std::uint64_t settled_ = 0; // the latest drop that has ended
    bool settledTaken_ = false; // whether its picture was taken
};

} // namespace gw::platform::qt
