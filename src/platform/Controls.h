#pragma once
// The controls the controller talks to. Each control sends one action, with itself as the
// sender, to whatever the window's loader connected it to; the controller reaches controls
// only through its outlets.

#include "platform/Image.h"
#include "platform/Notification.h"

#include <functional>
#include <memory>
#include <string>

namespace gw::platform {

class Control;

// What a control sends when the user operates it.
using Action = std::function<void(Control* sender)>;

class Control {
public:
    virtual ~Control() = default;
    virtual bool isEnabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    // Replaces the action; an empty one disconnects the control.
    virtual void setAction(Action action) = 0;

protected:
    Control() = default;
    Control(const Control&) = default;
    Control& operator=(const Control&) = default;
};

class Button : public Control {};

class MenuItem : public Control {};

// On or off; sends its action after the user turns it either way.
class CheckBox : public Control {
public:
    virtual bool state() const = 0;
    virtual void setState(bool on) = 0; // sends nothing
};

// A whole number on a scale, with a number field beside it that always shows the same value:
// the two are one control. Sends its action after the user changes the value with either.
class Slider : public Control {
public:
    virtual int intValue() const = 0;
    virtual void setIntValue(int value) = 0; // sends nothing
};

// Sent after the user changes a text field's text; not sent for changes made by the program.
class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual void controlTextDidChange(const Notification& notification) = 0;

protected:
    TextFieldDelegate() = default;
    TextFieldDelegate(const TextFieldDelegate&) = default;
    TextFieldDelegate& operator=(const TextFieldDelegate&) = default;
};

class TextField : public Control {
public:
    virtual std::string stringValue() const = 0; // UTF-8
    virtual void setStringValue(const std::string& text) = 0;
    // The field keeps the pointer; nullptr stops the notifications.
    virtual void setDelegate(TextFieldDelegate* delegate) = 0;
    // The integer at the start of the text (after leading white space), 0 when there is none.
    int intValue() const;
};

// A group of radio buttons; each carries a tag.
class RadioMatrix : public Control {
public:
    virtual int selectedTag() const = 0;
    virtual void selectCellWithTag(int tag) = 0;
};

// A menu of choices; each item carries a tag.
class PopUpButton : public Control {
public:
    virtual int selectedTag() const = 0;
    virtual void selectItemWithTag(int tag) = 0;
};

struct Color {
    double red = 0.0; // each 0 to 1
    double green = 0.0;
    double blue = 0.0;
    double alpha = 1.0;
    friend bool operator==(const Color&, const Color&) = default;
};

class ColorWell : public Control {
public:
    virtual Color color() const = 0;
    virtual void setColor(const Color& color) = 0;
};

// Shows a picture and takes pictures dropped on it. A drop that decodes is shown and then sends
// the action; a drop that does not is refused and reported with its reason instead.
class ImageWell : public Control {
public:
    virtual std::shared_ptr<const Image> image() const = 0;
    virtual void setImage(std::shared_ptr<const Image> image) = 0;
    virtual void setDropRefusedHandler(std::function<void(const std::string& reason)> handler) = 0;
    // Shows, or stops showing, that a picture is being opened.
    virtual void setBusy(bool busy) = 0;
};

// The leading integer of `text` as C's strtol reads it in the C locale, whatever the
// process's locale: optional white space and sign, then digits; 0 when there are none;
// clamped to the int range.
int leadingInteger(const std::string& text);

} // namespace gw::platform
