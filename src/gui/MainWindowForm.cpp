#include "gui/MainWindowForm.h"

#include "formats/OutputFormats.h"
#include "palette/InitialSet.h"
#include "render/FontResolver.h"
#include "ui_MainWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QRadioButton>

namespace gw::gui {

namespace {

// The form must exist before the adapters that wrap its widgets.
std::unique_ptr<Ui::MainWindow> setUp(QMainWindow* window) {
    auto ui = std::make_unique<Ui::MainWindow>();
    ui->setupUi(window);
    return ui;
}

// Each font the pop-up offers that is not installed says which monospace font stands in for it,
// in its own tooltip and, while chosen, in the pop-up's.
void showFontSubstitutes(QComboBox* font) {
    const QString general = font->toolTip();
    for (int i = 0; i < font->count(); ++i) {
        const render::ResolvedFont resolved =
            render::resolveMonospaceFont(font->itemText(i).toStdString());
        const QString family = QString::fromStdString(resolved.family);
        const QString tip =
            !resolved.substituted ? font->itemText(i)
            : family.isEmpty()
                ? font->itemText(i) + " is not installed, and no monospace font is installed"
                : font->itemText(i) + " is not installed: " + family + " stands in for it";
        font->setItemData(i, tip, Qt::ToolTipRole);
    }
    const auto update = [font, general](int index) {
        const QString tip = font->itemData(index, Qt::ToolTipRole).toString();
        font->setToolTip(tip == font->itemText(index) ? general : general + "\n" + tip);
    };
    QObject::connect(font, &QComboBox::currentIndexChanged, font, update);
    update(font->currentIndex());
}

// One radio button per format choice of the format table, in its order, before the row's
// spacer; each carries its choice as its tag and comes next in the tab order.
std::vector<QAbstractButton*> addFormatChoices(Ui::MainWindow& ui) {
    std::vector<QAbstractButton*> buttons;
    QWidget* previous = ui.bwColorColour;
    for (const std::string_view name : windowChoices()) {
        const QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        auto* button = new QRadioButton(text);
        button->setObjectName("exportMode" + QString::number(buttons.size()));
        button->setProperty("tag", static_cast<int>(buttons.size()));
        button->setAccessibleName("Format: " + text);
        ui.exportModeLayout->insertWidget(static_cast<int>(buttons.size()), button);
        QWidget::setTabOrder(previous, button);
        previous = button;
        buttons.push_back(button);
    }
    QWidget::setTabOrder(previous, ui.buttonPreview);
    return buttons;
}

} // namespace

MainWindowForm::MainWindowForm(const platform::ImageLoader& loader,
                               const platform::WindowCloseCenter& center)
    : window_(std::make_unique<QMainWindow>()), ui_(setUp(window_.get())),
      mainWindow_(window_.get(), center), fontSize_(ui_->fontSize),
      characterSet_(ui_->characterSet), setLower_(ui_->setLower), setUpper_(ui_->setUpper),
      setNumbers_(ui_->setNumbers), setSymbols_(ui_->setSymbols),
      formatButtons_(addFormatChoices(*ui_)), exportMode_(formatButtons_), maxWidth_(ui_->maxWidth),
      bwColor_({ui_->bwColorBlackWhite, ui_->bwColorColour}), buttonPreview_(ui_->buttonPreview),
      buttonExport_(ui_->buttonExport), menuClosePreview_(ui_->menuClosePreview), font_(ui_->font),
      matchShape_(ui_->matchShape), dither_(ui_->dither),
      brightness_(ui_->brightness, ui_->brightnessValue),
      contrast_(ui_->contrast, ui_->contrastValue), autoContrast_(ui_->autoContrast),
      invert_(ui_->invert), openItem_(ui_->actionOpen), openButton_(ui_->openButton) {
    ui_->sourceImage->setImageLoader(&loader);
    ui_->characterSet->setText(QString::fromUtf8(
        kInitialCharacterSet.data(), static_cast<qsizetype>(kInitialCharacterSet.size())));
    ui_->characterSet->setCursorPosition(0);
    ui_->maxWidth->setText("100");
    ui_->fontSize->setText("10");
    exportMode_.selectCellWithTag(0);
    bwColor_.selectCellWithTag(0);
    ui_->bgColor->setColor({1.0, 1.0, 1.0, 1.0});
    showFontSubstitutes(ui_->font);
    // The pop-up's list is a control of its own to a screen reader, reached through the box.
    ui_->font->view()->setAccessibleName("Fonts");
    QObject::connect(ui_->actionQuit, &QAction::triggered, qApp, &QApplication::closeAllWindows);
}

MainWindowForm::~MainWindowForm() = default;

GlyphwerkAppDelegate::Outlets MainWindowForm::outlets() const {
    auto* self = const_cast<MainWindowForm*>(this);
    GlyphwerkAppDelegate::Outlets o;
    o.window = &self->mainWindow_;
    o.fontSize = &self->fontSize_;
    o.sourceImage = ui_->sourceImage;
    o.characterSet = &self->characterSet_;
    o.setLower = &self->setLower_;
    o.setUpper = &self->setUpper_;
    o.setNumbers = &self->setNumbers_;
    o.setSymbols = &self->setSymbols_;
    o.exportMode = &self->exportMode_;
    o.maxWidth = &self->maxWidth_;
    o.bwColor = &self->bwColor_;
    o.buttonPreview = &self->buttonPreview_;
    o.buttonExport = &self->buttonExport_;
    o.menuClosePreview = &self->menuClosePreview_;
    o.bgColor = ui_->bgColor;
    o.font = &self->font_;
    o.matchShape = &self->matchShape_;
    o.dither = &self->dither_;
    o.brightness = &self->brightness_;
    o.contrast = &self->contrast_;
    o.autoContrast = &self->autoContrast_;
    o.invert = &self->invert_;
    return o;
}

} // namespace gw::gui
