#pragma once
// Windows, the text view of the preview window, and the notice of a window about to close.

#include "platform/Controls.h"
#include "platform/Notification.h"

#include <functional>
#include <string>
#include <vector>

namespace gw::platform {

struct Rect {
    double x = 0.0; // origin, y growing upward
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

class Window {
public:
    virtual ~Window() = default;
    virtual void show() = 0;
    // Closes the window as its close box does: the will-close notice is posted first.
    virtual void close() = 0;
    virtual bool isVisible() const = 0;
    virtual Rect frame() const = 0;
    virtual void setFrame(const Rect& frame) = 0;

protected:
    Window() = default;
    Window(const Window&) = default;
    Window& operator=(const Window&) = default;
};

// Text with a font and, per run, an optional colour.
struct TextRun {
    std::string text; // UTF-8
    bool hasColor = false;
    Color color;
};

class TextView {
public:
    virtual ~TextView() = default;
    virtual void setPlainText(const std::string& text) = 0;
    virtual void appendRuns(const std::vector<TextRun>& runs) = 0;
    virtual std::string plainText() const = 0;
    virtual void setFont(const std::string& family, double pointSize) = 0;
    virtual void setBackgroundColor(const Color& color) = 0;
    virtual Rect frame() const = 0;
    virtual void setFrame(const Rect& frame) = 0;

protected:
    TextView() = default;
    TextView(const TextView&) = default;
    TextView& operator=(const TextView&) = default;
};

// Every window posts here just before it closes; observers are called in the order they were
// added, on the main thread, and are never removed.
class WindowCloseCenter {
public:
    using Observer = std::function<void(const Notification& notification)>;
    void addWillCloseObserver(Observer observer) { observers_.push_back(std::move(observer)); }
    void postWillClose(const Window& window) const {
        const Notification notification{&window};
        for (const Observer& observer : observers_)
            observer(notification);
    }

private:
    std::vector<Observer> observers_;
};

} // namespace gw::platform
