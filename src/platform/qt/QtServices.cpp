#include "platform/qt/QtServices.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
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

// What a save panel's one file type is called in its type menu.
QString typeLabel(const std::vector<std::string>& fileTypes) {
    if (fileTypes.size() != 1) return "Output";
    const std::string& type = fileTypes.front();
    if (type == "txt") return "Plain text";
    if (type == "rtf") return "Rich text";
    if (type == "html") return "Web page";
    if (type == "tif") return "TIFF image";
    return QString::fromStdString(type);
}

} // namespace

std::optional<std::string> QtPanels::runSavePanel(const std::optional<std::string>& directory,
                                                  const std::vector<std::string>& fileTypes,
                                                  const std::string& proposedName) {
    const std::optional<std::string> start = panelStartFolder(directory);
    QString proposed = QString::fromStdString(proposedName);
    if (start) proposed = QString::fromStdString(*start) + "/" + proposed;
    QFileDialog dialog(parent_, "Export", proposed, nameFilter(typeLabel(fileTypes), fileTypes));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (!fileTypes.empty()) dialog.setDefaultSuffix(QString::fromStdString(fileTypes.front()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
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
