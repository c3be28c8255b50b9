#include "platform/qt/QtServices.h"

#include "output/FileType.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QUrl>

namespace gw::platform::qt {

QtUserDefaults::QtUserDefaults() : settings_("Glyphwerk", "Glyphwerk") {}

long QtUserDefaults::integerForKey(const std::string& key) const {
    bool ok = false;
    const long value = settings_.value(QString::fromStdString(key)).toLongLong(&ok);
    return ok ? value : 0;
}

void QtUserDefaults::setInteger(long value, const std::string& key) {
    settings_.setValue(QString::fromStdString(key), static_cast<qlonglong>(value));
}

std::optional<std::string> QtUserDefaults::stringForKey(const std::string& key) const {
    const QVariant value = settings_.value(QString::fromStdString(key));
    if (!value.isValid()) return std::nullopt;
    return value.toString().toStdString();
}

void QtUserDefaults::setString(const std::string& value, const std::string& key) {
    settings_.setValue(QString::fromStdString(key), QString::fromStdString(value));
}

QString nameFilter(const QString& label, const std::vector<std::string>& fileTypes) {
    QStringList patterns;
    for (const std::string& type : fileTypes) {
        patterns << "*." + QString::fromStdString(type);
        // Linux file systems tell case apart; camera files often carry upper-case extensions.
        patterns << "*." + QString::fromStdString(type).toUpper();
    }
    return label + " (" + patterns.join(' ') + ")";
}

std::optional<std::string> QtPanels::runOpenPanel(const std::optional<std::string>& directory,
                                                  const std::vector<std::string>& fileTypes) {
    const std::optional<std::string> start = panelStartFolder(directory);
    const QString chosen = QFileDialog::getOpenFileName(
        parent_, "Open a Picture", start ? QString::fromStdString(*start) : QString(),
        nameFilter("Pictures", fileTypes));
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

namespace {

// A save dialog that keeps the file's type: a name typed without one of the type's extensions
// gets the first before the dialog accepts it, so that the question whether to replace an
// existing file is asked of the name that will be written.
class SaveDialog final : public QFileDialog {
public:
    SaveDialog(QWidget* parent, const QString& proposed, const QString& filter,
               const std::vector<std::string>& fileTypes)
        : QFileDialog(parent, "Export", proposed, filter), fileTypes_(fileTypes) {
        setAcceptMode(QFileDialog::AcceptSave);
        // Only our own dialog passes its name through accept().
        setOption(QFileDialog::DontUseNativeDialog);
        if (!fileTypes.empty()) setDefaultSuffix(QString::fromStdString(fileTypes.front()));
    }

    void accept() override {
        const QStringList files = selectedFiles();
        if (!files.isEmpty()) {
            const std::string chosen = files.front().toStdString();
            const std::string kept = keptType(chosen);
            if (kept != chosen) {
                // selectFile() leaves the name field alone while it has the focus, as it has
                // when the user presses Return in it; the field is what accept() reads.
                const QString name = QFileInfo(QString::fromStdString(kept)).fileName();
                if (auto* field = findChild<QLineEdit*>("fileNameEdit"))
                    field->setText(name);
                else
                    selectFile(QString::fromStdString(kept));
            }
        }
        QFileDialog::accept();
    }

    std::string keptType(const std::string& path) const {
        const std::vector<std::string_view> types(fileTypes_.begin(), fileTypes_.end());
        return withFileType(path, types);
    }

private:
    std::vector<std::string> fileTypes_;
};

} // namespace

std::optional<std::string> QtPanels::runSavePanel(const std::optional<std::string>& directory,
                                                  const std::vector<std::string>& fileTypes,
                                                  const std::string& proposedName,
                                                  const std::string& typeName) {
    const std::optional<std::string> start = panelStartFolder(directory);
    QString proposed = QString::fromStdString(proposedName);
    if (start) proposed = QString::fromStdString(*start) + "/" + proposed;
    SaveDialog dialog(parent_, proposed, nameFilter(QString::fromStdString(typeName), fileTypes),
                      fileTypes);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.keptType(dialog.selectedFiles().front().toStdString());
}

void showAsPlainText(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    for (QLabel* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
}

void QtAlerts::showWarning(const std::string& title, const std::string& message) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(title),
                    QString::fromStdString(title), QMessageBox::Ok, parent_);
    box.setInformativeText(QString::fromStdString(message));
    showAsPlainText(box);
    box.exec();
}

bool QtAlerts::runAlert(const std::string& title, const std::string& message,
                        const std::string& acceptTitle, const std::string& declineTitle) {
    QMessageBox box(QMessageBox::Information, QString::fromStdString(title),
                    QString::fromStdString(message), QMessageBox::NoButton, parent_);
    showAsPlainText(box);
    QPushButton* accept =
        box.addButton(QString::fromStdString(acceptTitle), QMessageBox::AcceptRole);
    box.addButton(QString::fromStdString(declineTitle), QMessageBox::RejectRole);
    box.setDefaultButton(accept);
    box.exec();
    return box.clickedButton() == accept;
}

bool QtWorkspace::openFile(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

bool QtWorkspace::openURL(const std::string& url) {
    const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
    return parsed.isValid() && QDesktopServices::openUrl(parsed);
}

std::vector<double> QtScreens::backingScaleFactors() const {
    std::vector<double> factors;
    for (const QScreen* screen : QGuiApplication::screens())
        factors.push_back(screen->devicePixelRatio());
    return factors;
}

} // namespace gw::platform::qt
