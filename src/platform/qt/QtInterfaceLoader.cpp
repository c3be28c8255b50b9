#include "platform/qt/QtInterfaceLoader.h"

#include "platform/qt/QtArtView.h"
#include "platform/qt/QtWindow.h"

#include <QEvent>
#include <QFile>
#include <QScrollArea>
#include <QTimer>
#include <QUiLoader>

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
    widget->setAttribute(Qt::WA_DeleteOnClose, false);

    auto loaded = std::make_unique<Loaded>(std::move(widget), view, center_);
    Loaded* raw = loaded.get();
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
