#pragma once
// The application-wide services over Qt.

#include "platform/Services.h"

#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QWidget>

namespace gw::platform::qt {

// QSettings under organisation and application "Glyphwerk". One object per thread.
class QtUserDefaults final : public UserDefaults {
public:
    QtUserDefaults();
    long integerForKey(const std::string& key) const override;
    void setInteger(long value, const std::string& key) override;
    std::optional<std::string> stringForKey(const std::string& key) const override;
    void setString(const std::string& value, const std::string& key) override;
    void synchronize() override { settings_.sync(); }

private:
    QSettings settings_;
};

// Panels and alerts are modal to `parent` (the main window) when it is set.
class QtPanels final : public Panels {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    std::optional<std::string> runOpenPanel(const std::optional<std::string>& directory,
                                            const std::vector<std::string>& fileTypes) override;
    std::optional<std::string> runSavePanel(const std::optional<std::string>& directory,
                                            const std::vector<std::string>& fileTypes,
                                            const std::string& proposedName,
                                            const std::string& typeName) override;

private:
    QPointer<QWidget> parent_;
};

// Alerts show file names and reasons, which may look like markup ("<b>x</b>.png"): every
// label of the box, the informative text's among them, shows its text as it is.
void showAsPlainText(QMessageBox& box);

class QtAlerts final : public Alerts {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    void showWarning(const std::string& title, const std::string& message) override;
    bool runAlert(const std::string& title, const std::string& message,
                  const std::string& acceptTitle, const std::string& declineTitle) override;

private:
    QPointer<QWidget> parent_;
};

class QtWorkspace final : public Workspace {
public:
    bool openFile(const std::string& path) override;
    bool openURL(const std::string& url) override;
};

class QtScreens final : public Screens {
public:
    std::vector<double> backingScaleFactors() const override;
};

// "Pictures (*.psd *.bmp ...)" for a list of extensions.
QString nameFilter(const QString& label, const std::vector<std::string>& fileTypes);

} // namespace gw::platform::qt
