#pragma once
// The main window as the controller sees it: the Designer form, with a platform adapter for
// each of its controls. Plays the part of an interface file: it makes the window, and its
// outlets are what the controller gets connected to.

#include "app/GlyphwerkAppDelegate.h"
#include "platform/qt/QtControls.h"
#include "platform/qt/QtWindow.h"

#include <QMainWindow>

#include <memory>
#include <vector>

namespace Ui {
class MainWindow;
}

namespace gw::gui {

class MainWindowForm {
public:
    MainWindowForm(const platform::ImageLoader& loader, const platform::WindowCloseCenter& center);
    ~MainWindowForm();
    MainWindowForm(const MainWindowForm&) = delete;
    MainWindowForm& operator=(const MainWindowForm&) = delete;

    QMainWindow* widget() const { return window_.get(); }
    Ui::MainWindow& ui() const { return *ui_; }
    // The format choices' radio buttons, made from the format table; null past the last.
    QAbstractButton* formatButton(int choice) const {
        return choice >= 0 && choice < static_cast<int>(formatButtons_.size())
                   ? formatButtons_[static_cast<std::size_t>(choice)]
                   : nullptr;
    }

    // Every outlet of the main window; the preview window's stay null.
    GlyphwerkAppDelegate::Outlets outlets() const;
    // The Open menu item and the Open button, both of which choose a picture.
    platform::MenuItem* openCommand() { return &openItem_; }
    platform::Button* openButton() { return &openButton_; }

private:
    std::unique_ptr<QMainWindow> window_;
    std::unique_ptr<Ui::MainWindow> ui_;
    platform::qt::QtWindow mainWindow_;
    platform::qt::QtTextField fontSize_;
    platform::qt::QtTextField characterSet_;
    platform::qt::QtButton setLower_;
    platform::qt::QtButton setUpper_;
    platform::qt::QtButton setNumbers_;
    platform::qt::QtButton setSymbols_;
    std::vector<QAbstractButton*> formatButtons_; // owned by the form's layout
    platform::qt::QtRadioMatrix exportMode_;
    platform::qt::QtTextField maxWidth_;
    platform::qt::QtRadioMatrix bwColor_;
    platform::qt::QtButton buttonPreview_;
    platform::qt::QtButton buttonExport_;
    platform::qt::QtMenuItem menuClosePreview_;
    platform::qt::QtPopUpButton font_;
    platform::qt::QtCheckBox matchShape_;
    platform::qt::QtCheckBox dither_;
    platform::qt::QtSlider brightness_;
    platform::qt::QtSlider contrast_;
    platform::qt::QtCheckBox autoContrast_;
    platform::qt::QtCheckBox invert_;
    platform::qt::QtMenuItem openItem_;
    platform::qt::QtButton openButton_;
};

} // namespace gw::gui
