#pragma once
// Windows, the text view of the preview window, and the notice of a window about to close.

#include "output/Outputs.h"
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

// A frame is the window's content area in screen coordinates; decorations are not counted.
class Window {
public:
    virtual ~Window() = default;
    // Shows the window in front of the others and gives it the keyboard.
    virtual void show() = 0;
    // Closes the window as its close box does: the will-close notice is posted first.
    virtual void close() = 0;
    virtual bool isVisible() const = 0;
    virtual Rect frame() const = 0;
    virtual void setFrame(const Rect& frame) = 0;
    virtual void setBackgroundColor(const Color& color) = 0;

protected:
    Window() = default;
    Window(const Window&) = default;
    Window& operator=(const Window&) = default;
};

// Characters sharing one colour; a run without colour shows in the view's default text colour.
using TextRun = ColorRun;

// The preview's text: one font for all of it, each character in its own colour or the default
// one. The user may select and copy it and, when editable, change it; nothing reads such edits.
class TextView {
public:
    virtual ~TextView() = default;
    // Replaces the whole text (UTF-8) with uncoloured text; "" empties the view.
    virtual void setPlainText(const std::string& text) = 0;
    virtual void appendPlainText(const std::string& text) = 0;
    virtual void appendRuns(const std::vector<TextRun>& runs) = 0;
    virtual std::string plainText() const = 0;
    // `name` as the font pop-up names it; a font that is not installed shows in the monospace
    // font that stands in for it.
    virtual void setFont(const std::string& name, int pointSize) = 0;
    virtual void setBackgroundColor(const Color& color) = 0;
    virtual void setEditable(bool editable) = 0;
    virtual void setSelectable(bool selectable) = 0;
    // In the enclosing view's coordinates. The view keeps this size however small its window.
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
