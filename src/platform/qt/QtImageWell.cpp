#include "platform/qt/QtImageWell.h"

#include <QBuffer>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace gw::platform::qt {

namespace {

// Image data formats taken from a drop, in order of preference; the imaging library decodes
// them itself, so the bytes pass through untouched.
const char* const kDroppedImageTypes[] = {"image/png",
                                          "image/jpeg",
                                          "image/gif",
                                          "image/bmp",
                                          "image/tiff",
                                          "image/x-tga",
                                          "image/vnd.adobe.photoshop"};

QImage toQImage(const RgbaCanvas& bitmap) {
    QImage wrapped(bitmap.rgba.data(), bitmap.width, bitmap.height, bitmap.width * 4,
                   QImage::Format_RGBA8888_Premultiplied);
    return wrapped.copy(); // the bitmap's storage does not outlive this call
}

} // namespace

QtImageWell::QtImageWell(QWidget* parent) : QFrame(parent) {
    setAcceptDrops(true);
    setFrameShape(QFrame::StyledPanel);
    setMinimumSize(240, 240);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setObjectName("imageWell");
}

void QtImageWell::setImage(std::shared_ptr<const Image> image) {
    image_ = std::move(image);
    thumbnail_ = QImage();
    if (image_) {
        RgbaCanvas bitmap;
        std::string error;
        if (image_->renderThumbnail(kWellThumbnailSide, bitmap, error) && bitmap.width > 0)
            thumbnail_ = toQImage(bitmap);
    }
    update();
}

void QtImageWell::setBusy(bool busy) {
    openBusy_ = busy;
    showBusy();
}

void QtImageWell::showBusy() {
    if (isBusy()) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
    setAccessibleDescription(isBusy() ? "Opening a picture" : QString());
    update();
}

void QtImageWell::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* mime = event->mimeData();
    bool usable = mime->hasImage();
    for (const char* type : kDroppedImageTypes)
        usable = usable || mime->hasFormat(type);
    if (mime->hasUrls()) {
        for (const QUrl& url : mime->urls())
            usable = usable || url.isLocalFile();
    }
    if (usable && isEnabled()) event->acceptProposedAction();
}

void QtImageWell::dropEvent(QDropEvent* event) {
    inDrop_ = true;
    if (acceptMimeData(event->mimeData())) event->acceptProposedAction();
    inDrop_ = false;
}

bool QtImageWell::acceptMimeData(const QMimeData* mime) {
    if (loader_ == nullptr || mime == nullptr) return false;
    const std::uint64_t drop = drops_ + 1; // counted once its load begins
    const QPointer<QtImageWell> self(this);
    const auto finish = [self, drop](ImageLoad loaded) {
        if (self) self->takeDropped(drop, std::move(loaded));
    };
    // A loader without threads has finished by the time it returns.
    const auto started = [&] {
        dropBusy_ = settled_ != drop;
        showBusy();
        return settled_ != drop || settledTaken_;
    };
    if (mime->hasUrls()) {
        for (const QUrl& url : mime->urls()) {
            if (!url.isLocalFile()) continue;
            // One picture per drop: the first file decides.
            drops_ = drop;
            loader_->loadInBackground(url.toLocalFile().toStdString(), finish);
            return started();
        }
    }
    for (const char* type : kDroppedImageTypes) {
        if (!mime->hasFormat(type)) continue;
        const QByteArray bytes = mime->data(type);
        drops_ = drop;
        loader_->loadFromMemoryInBackground(std::vector<std::uint8_t>(bytes.begin(), bytes.end()),
                                            "dropped image", finish);
        return started();
    }
    if (mime->hasImage()) {
        // Only a decoded image came along: hand it over as PNG so the one loader reads it.
        const QImage dropped = qvariant_cast<QImage>(mime->imageData());
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!dropped.isNull() && dropped.save(&buffer, "PNG")) {
            drops_ = drop;
            loader_->loadFromMemoryInBackground(std::vector<std::uint8_t>(png.begin(), png.end()),
                                                "dropped image", finish);
            return started();
        }
    }
    refuse("dropped item: holds no picture");
    return false;
}

void QtImageWell::takeDropped(std::uint64_t drop, ImageLoad loaded) {
    if (drop != drops_) return; // a newer drop has begun
    settled_ = drop;
    settledTaken_ = false;
    dropBusy_ = false;
    showBusy();
    if (loaded.overtaken) return; // an open begun after the drop wins
    if (!loaded.image) {
        refuse(loaded.error);
        return;
    }
    settledTaken_ = true;
    setImage(std::move(loaded.image));
    if (action_) action_(this);
}

void QtImageWell::refuse(const std::string& reason) {
    if (!refused_) return;
    // A modal alert inside the drop would hold the dragging application's drag open; report
    // once the drop has finished.
    if (inDrop_) {
        QTimer::singleShot(0, this, [handler = refused_, reason] { handler(reason); });
    } else {
        refused_(reason);
    }
}

void QtImageWell::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(8, 8, -8, -8);
    if (isBusy()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(area, Qt::AlignCenter, QString::fromUtf8("Opening\u2026"));
        return;
    }
    if (thumbnail_.isNull()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(
            area, Qt::AlignCenter | Qt::TextWordWrap,
            QString::fromUtf8("Drop a picture here\nor choose File \u25B8 Open\u2026"));
        return;
    }
    const QSize fitted = thumbnail_.size().scaled(area.size(), Qt::KeepAspectRatio);
    const QSize shown = thumbnail_.width() < area.width() && thumbnail_.height() < area.height()
                            ? thumbnail_.size()
                            : fitted;
    QRect target(QPoint(0, 0), shown);
    target.moveCenter(area.center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, thumbnail_);
}

} // namespace gw::platform::qt
