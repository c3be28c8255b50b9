#pragma once
// Windows, the text view of the preview window, and the notice of a window about to close.

#include "output/Outputs.h"
#include "platform/ArtDocument.h"
#include "platform/Controls.h"
#include "platform/Notification.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
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
    // Replaces the whole text with these lines (displayLines makes them from a grid); a view
    // may redraw only what changed.
    virtual void setLines(std::vector<ArtDocument::Line> lines) = 0;
    virtual std::string plainText() const = 0;
    // `name` as the font pop-up names it; a font that is not installed shows in the monospace
    // font that stands in for it.
    virtual void setFont(const std::string& name, int pointSize) = 0;
    virtual void setBackgroundColor(const Color& color) = 0;
    // The default text colour: what characters without a colour of their own are drawn in.
    // Black until set.
    virtual void setTextColor(const Color& color) = 0;
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
// added, on the main thread, for as long as the registration that adding them returned lives.
// The centre must outlive every registration.
class WindowCloseCenter {
public:
    using Observer = std::function<void(const Notification& notification)>;

    // Ends its observer's calls when destroyed (or assigned over).
    class Registration {
    public:
        Registration() = default;
        Registration(Registration&& other) noexcept
            : center_(std::exchange(other.center_, nullptr)), id_(other.id_) {}
        Registration& operator=(Registration&& other) noexcept {
            if (this != &other) {
                reset();
                center_ = std::exchange(other.center_, nullptr);
                id_ = other.id_;
            }
            return *this;
        }
        Registration(const Registration&) = delete;
        Registration& operator=(const Registration&) = delete;
        ~Registration() { reset(); }
        void reset() {
            if (center_ != nullptr) std::exchange(center_, nullptr)->remove(id_);
        }

    private:
        friend class WindowCloseCenter;
        Registration(WindowCloseCenter* center, std::uint64_t id) : center_(center), id_(id) {}
        WindowCloseCenter* center_ = nullptr;
        std::uint64_t id_ = 0;
    };

    [[nodiscard]] Registration addWillCloseObserver(Observer observer) {
        observers_.push_back({++lastId_, std::move(observer)});
        return Registration(this, lastId_);
    }
    void postWillClose(const Window& window) const {
        const Notification notification{&window};
        // A copy: an observer may end its own or another registration while being called.
        const std::vector<Entry> observers = observers_;
        for (const Entry& entry : observers)
            entry.observer(notification);
    }

private:
    struct Entry {
        std::uint64_t id;
        Observer observer;
    };
    void remove(std::uint64_t id) {
        std::erase_if(observers_, [id](const Entry& e) { return e.id == id; });
    }
    std::vector<Entry> observers_;
    std::uint64_t lastId_ = 0;
};

} // namespace gw::platform
