#pragma once
// Qt Widgets behind the control interfaces. The adapters do not own their widgets: the window
// does, and it outlives the adapters.

#include "platform/Controls.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

#include <vector>

namespace gw::platform::qt {

// Enabled state and action for any widget-like object with a "triggered" kind of signal.
template <typename Interface> class ActionHolder : public Interface {
public:
    void setAction(Action action) override { action_ = std::move(action); }

protected:
    void send() {
        if (action_) action_(this);
    }

private:
    Action action_;
};

class QtButton final : public ActionHolder<Button> {
public:
    explicit QtButton(QAbstractButton* button);
    bool isEnabled() const override { return button_->isEnabled(); }
    void setEnabled(bool enabled) override { button_->setEnabled(enabled); }
    QAbstractButton* widget() const { return button_; }

private:
    QAbstractButton* button_;
};

class QtCheckBox final : public ActionHolder<CheckBox> {
public:
    explicit QtCheckBox(QAbstractButton* box);
    bool isEnabled() const override { return box_->isEnabled(); }
    void setEnabled(bool enabled) override { box_->setEnabled(enabled); }
    bool state() const override { return box_->isChecked(); }
    void setState(bool on) override;

private:
    QAbstractButton* box_;
    bool settingState_ = false; // the program's own change: nothing is sent
};

class QtMenuItem final : public ActionHolder<MenuItem> {
public:
    explicit QtMenuItem(QAction* action);
    bool isEnabled() const override { return action_->isEnabled(); }
    void setEnabled(bool enabled) override { action_->setEnabled(enabled); }
    QAction* qaction() const { return action_; }

private:
    QAction* action_;
};

// A slider and a spin box that follow each other; the spin box takes the slider's range. One
// user change sends one action, whichever of the two the user moved.
class QtSlider final : public ActionHolder<Slider> {
public:
    QtSlider(QAbstractSlider* slider, QSpinBox* number);
    bool isEnabled() const override { return slider_->isEnabled(); }
    void setEnabled(bool enabled) override;
    int intValue() const override { return slider_->value(); }
    void setIntValue(int value) override;

private:
    QAbstractSlider* slider_;
    QSpinBox* number_;
    bool settingValue_ = false; // the program's own change: nothing is sent
};

// Sends its action on Return; user edits (not the program's) reach the delegate.
class QtTextField final : public ActionHolder<TextField> {
public:
    explicit QtTextField(QLineEdit* edit);
    bool isEnabled() const override { return edit_->isEnabled(); }
    void setEnabled(bool enabled) override { edit_->setEnabled(enabled); }
    std::string stringValue() const override;
    void setStringValue(const std::string& text) override;
    void setDelegate(TextFieldDelegate* delegate) override { delegate_ = delegate; }
    QLineEdit* widget() const { return edit_; }

private:
    QLineEdit* edit_;
    TextFieldDelegate* delegate_ = nullptr;
};

// Radio buttons whose "tag" property gives each its tag.
class QtRadioMatrix final : public ActionHolder<RadioMatrix> {
public:
    explicit QtRadioMatrix(std::vector<QAbstractButton*> cells);
    bool isEnabled() const override;
    void setEnabled(bool enabled) override;
    int selectedTag() const override;
    void selectCellWithTag(int tag) override;

private:
    QButtonGroup group_;
    bool selecting_ = false; // the program's own change: nothing is sent
};

// The items' tags are their positions.
class QtPopUpButton final : public ActionHolder<PopUpButton> {
public:
    explicit QtPopUpButton(QComboBox* combo);
    bool isEnabled() const override { return combo_->isEnabled(); }
    void setEnabled(bool enabled) override { combo_->setEnabled(enabled); }
    int selectedTag() const override { return combo_->currentIndex(); }
    void selectItemWithTag(int tag) override { combo_->setCurrentIndex(tag); }

private:
    QComboBox* combo_;
};

} // namespace gw::platform::qt
