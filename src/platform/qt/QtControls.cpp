#include "platform/qt/QtControls.h"

#include <QVariant>

namespace gw::platform::qt {

QtButton::QtButton(QAbstractButton* button) : button_(button) {
    QObject::connect(button, &QAbstractButton::clicked, button, [this] { send(); });
}

QtCheckBox::QtCheckBox(QAbstractButton* box) : box_(box) {
    // toggled, not clicked: an assistive tool's toggle action changes the box without a click.
    QObject::connect(box, &QAbstractButton::toggled, box, [this] {
        if (!settingState_) send();
    });
}

void QtCheckBox::setState(bool on) {
    settingState_ = true;
    box_->setChecked(on);
    settingState_ = false;
}

QtSlider::QtSlider(QAbstractSlider* slider, QSpinBox* number) : slider_(slider), number_(number) {
    number->setRange(slider->minimum(), slider->maximum());
    number->setValue(slider->value());
    // Every change, the user's or the program's, passes through the slider's valueChanged: a
    // value typed into the number moves the slider, which sends once; a value that does not
    // change the slider emits nothing.
    QObject::connect(number, &QSpinBox::valueChanged, slider, &QAbstractSlider::setValue);
    QObject::connect(slider, &QAbstractSlider::valueChanged, slider, [this](int value) {
        number_->setValue(value);
        if (!settingValue_) send();
    });
}

void QtSlider::setEnabled(bool enabled) {
    slider_->setEnabled(enabled);
    number_->setEnabled(enabled);
}

void QtSlider::setIntValue(int value) {
    settingValue_ = true;
    slider_->setValue(value);
    settingValue_ = false;
}

QtMenuItem::QtMenuItem(QAction* action) : action_(action) {
    QObject::connect(action, &QAction::triggered, action, [this] { send(); });
}

QtTextField::QtTextField(QLineEdit* edit) : edit_(edit) {
    // textEdited, unlike textChanged, is not emitted for setText(): the program's own changes
    // must not look like the user's.
    QObject::connect(edit, &QLineEdit::textEdited, edit, [this] {
        if (delegate_ != nullptr) delegate_->controlTextDidChange(Notification{this});
    });
    QObject::connect(edit, &QLineEdit::returnPressed, edit, [this] { send(); });
}

std::string QtTextField::stringValue() const {
    return edit_->text().toStdString();
}

void QtTextField::setStringValue(const std::string& text) {
    edit_->setText(QString::fromStdString(text));
}

QtRadioMatrix::QtRadioMatrix(std::vector<QAbstractButton*> cells) {
    group_.setExclusive(true);
    for (QAbstractButton* cell : cells)
        group_.addButton(cell, cell->property("tag").toInt());
    // As for a check box: toggled also comes from an assistive tool's toggle action. Only the
    // newly chosen cell sends.
    QObject::connect(&group_, &QButtonGroup::idToggled, &group_, [this](int /*id*/, bool on) {
        if (on && !selecting_) send();
    });
}

bool QtRadioMatrix::isEnabled() const {
    const auto buttons = group_.buttons();
    return !buttons.isEmpty() && buttons.front()->isEnabled();
}

void QtRadioMatrix::setEnabled(bool enabled) {
    for (QAbstractButton* cell : group_.buttons())
        cell->setEnabled(enabled);
}

int QtRadioMatrix::selectedTag() const {
    return group_.checkedId();
}

void QtRadioMatrix::selectCellWithTag(int tag) {
    QAbstractButton* cell = group_.button(tag);
    if (cell == nullptr) return;
    selecting_ = true;
    cell->setChecked(true);
    selecting_ = false;
}

QtPopUpButton::QtPopUpButton(QComboBox* combo) : combo_(combo) {
    QObject::connect(combo, &QComboBox::activated, combo, [this] { send(); });
}

} // namespace gw::platform::qt
