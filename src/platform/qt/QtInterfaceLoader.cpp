#include "platform/qt/QtInterfaceLoader.h"

#include "platform/qt/QtArtView.h"
#include "platform/qt/QtWindow.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QUiLoader>

#include <algorithm>

namespace gw::platform::qt {

namespace {

// Qt's form loader, taught the one widget of ours that the preview form uses.
class FormLoader final : public QUiLoader {
public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        if (className == "gw::platform::qt::QtArtView") {
            auto* view = new QtArtView(parent);
            view->setObjectName(name);
            return view;
        }
        return QUiLoader::createWidget(className, parent, name);
    }
};

// The window grows up and to the right from its bottom-left corner, so a new one starts low on
// the screen, a little inside the window that opened it.
void placeNewWindow(QWidget& window) {
    const QWidget* opener = QApplication::activeWindow();
    const QScreen* screen = opener != nullptr ? opener->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const int left = opener != nullptr ? opener->geometry().left() + 32 : area.left() + 32;
    window.move(std::clamp(left, area.left(), std::max(area.left(), area.right() - window.width())),
                std::max(area.top(), area.bottom() - 32 - window.height()));
}

} // namespace

struct QtInterfaceLoader::Loaded {
    Loaded(std::unique_ptr<QWidget> w, QtArtView* v, const WindowCloseCenter& center)
        : widget(std::move(w)), view(v), window(widget.get(), center) {}
    std::unique_ptr<QWidget> widget;
    QtArtView* view; // owned by widget
    QtWindow window;
    bool closed = false;
};

QtInterfaceLoader::QtInterfaceLoader(std::string resourceFolder, const WindowCloseCenter& center)
    : folder_(std::move(resourceFolder)), center_(center), reaper_(new QObject) {}

QtInterfaceLoader::~QtInterfaceLoader() {
    delete reaper_.data();
}

bool QtInterfaceLoader::loadPreviewWindow(const std::string& fileName, PreviewOutlets& outlets) {
    dropClosed();
    QFile file(QString::fromStdString(folder_ + "/" + fileName));
    if (folder_.empty() || !file.open(QIODevice::ReadOnly)) return false;
    FormLoader loader;
    std::unique_ptr<QWidget> widget(loader.load(&file));
    if (!widget || widget->objectName() != "preview") return false;
    auto* view = widget->findChild<QtArtView*>("previewText2");
    auto* scroll = widget->findChild<QScrollArea*>("previewScroll");
    if (view == nullptr || scroll == nullptr) return false;
    if (scroll->widget() != view) scroll->setWidget(view);
    scroll->setWidgetResizable(false);
    // Screen readers list the scroll bars among the window's controls.
    scroll->horizontalScrollBar()->setAccessibleName("Columns shown");
    scroll->verticalScrollBar()->setAccessibleName("Rows shown");
    widget->setAttribute(Qt::WA_DeleteOnClose, false);
    placeNewWindow(*widget);

    auto loaded = std::make_unique<Loaded>(std::move(widget), view, center_);
    Loaded* raw = loaded.get();
    // The frame the controller works out allows for nominal text metrics; the font standing in
    // may set its rows further apart, and the last row would then hide behind a scroll bar.
    raw->window.setContentSize([top = raw->widget.get(), view, scroll] {
        QMargins around = top->contentsMargins();
        if (top->layout() != nullptr) around += top->layout()->contentsMargins();
        const int frame = 2 * scroll->frameWidth();
        return view->artSize() + QSize(around.left() + around.right() + frame,
                                       around.top() + around.bottom() + frame);
    });
    // Deleted from the event loop, once whatever closed the window has returned.
    struct CloseWatch final : QObject {
        CloseWatch(Loaded* l, QtInterfaceLoader* o)
            : QObject(l->widget.get()), loaded(l), owner(o) {}
        bool eventFilter(QObject* /*watched*/, QEvent* event) override {
            if (event->type() == QEvent::Close) {
                loaded->closed = true;
                QTimer::singleShot(0, owner->reaper_.data(), [o = owner] { o->dropClosed(); });
            }
            return false;
        }
        Loaded* loaded;
        QtInterfaceLoader* owner;
    };
    raw->widget->installEventFilter(new CloseWatch(raw, this));
    windows_.push_back(std::move(loaded));
    outlets.preview = &raw->window;
    outlets.previewText2 = view;
    return true;
}

void QtInterfaceLoader::dropClosed() {
    std::erase_if(windows_, [](const std::unique_ptr<Loaded>& l) { return l->closed; });
}

QWidget* QtInterfaceLoader::openPreviewWidget() const {
    for (const auto& l : windows_)
        if (!l->closed) return l->widget.get();
    return nullptr;
}

} // namespace gw::platform::qt
