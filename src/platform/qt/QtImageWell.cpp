#include "platform/qt/QtImageWell.h"

#include <QBuffer>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
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

QImage toQImage(const Bitmap& bitmap) {
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
        Bitmap bitmap;
        std::string error;
        if (image_->renderThumbnail(kWellThumbnailSide, bitmap, error) && bitmap.width > 0)
            thumbnail_ = toQImage(bitmap);
    }
    update();
}

void QtImageWell::setBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
    setAccessibleDescription(busy ? "Opening a picture" : QString());
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
    ImageLoad loaded;
    bool tried = false;
    if (mime->hasUrls()) {
        for (const QUrl& url : mime->urls()) {
            if (!url.isLocalFile()) continue;
            loaded = loader_->load(url.toLocalFile().toStdString());
            tried = true;
            break; // one picture per drop: the first file decides
        }
    }
    if (!tried) {
        for (const char* type : kDroppedImageTypes) {
            if (!mime->hasFormat(type)) continue;
            const QByteArray bytes = mime->data(type);
            loaded = loader_->loadFromMemory(std::vector<std::uint8_t>(bytes.begin(), bytes.end()),
                                             "dropped image");
            tried = true;
            break;
        }
    }
    if (!tried && mime->hasImage()) {
        // Only a decoded image came along: hand it over as PNG so the one loader reads it.
        const QImage dropped = qvariant_cast<QImage>(mime->imageData());
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!dropped.isNull() && dropped.save(&buffer, "PNG")) {
            loaded = loader_->loadFromMemory(std::vector<std::uint8_t>(png.begin(), png.end()),
                                             "dropped image");
            tried = true;
        }
    }
    if (!tried) {
        refuse("dropped item: holds no picture");
        return false;
    }
    if (!loaded.image) {
        refuse(loaded.error);
        return false;
    }
    setImage(std::move(loaded.image));
    if (action_) action_(this);
    return true;
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
    if (busy_) {
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
