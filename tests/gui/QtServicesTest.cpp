// The Qt services: settings, the panels' name filter, and the save panel answered by a timer.

#include "platform/qt/QtServices.h"

#include "TestApplication.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace gw::platform::qt {
namespace {

TEST(QtUserDefaults, StoresStringsUnchangedAndIntegersWithZeroForAbsent) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
    {
        QtUserDefaults defaults;
        EXPECT_EQ(defaults.integerForKey("firstLaunch"), 0);
        EXPECT_EQ(defaults.stringForKey("userDirectory"), std::nullopt);
        defaults.setInteger(1, "firstLaunch");
        defaults.setString("/home/ada/Bilder/Möwe 1.png", "userDirectory");
        defaults.synchronize();
    }
    // A second object, as another thread or the next launch would make, sees the same values.
    QtUserDefaults again;
    EXPECT_EQ(again.integerForKey("firstLaunch"), 1);
    EXPECT_EQ(again.stringForKey("userDirectory"), "/home/ada/Bilder/Möwe 1.png");
    EXPECT_TRUE(QFile::exists(folder.path() + "/Glyphwerk/Glyphwerk.conf"));
}

TEST(Alerts, ShowFileNamesAsTheyAreNotAsMarkup) {
    testing::testApplication();
    QMessageBox box(QMessageBox::Warning, "t", "<b>x</b>.png", QMessageBox::Ok);
    box.setInformativeText("<i>y</i>.png: not a picture");
    showAsPlainText(box);
    int labels = 0;
    for (const QLabel* label : box.findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue;
        ++labels;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
    }
    EXPECT_GE(labels, 2);
}

TEST(NameFilter, ListsEveryTypeInBothCases) {
    EXPECT_EQ(nameFilter("Pictures", {"png", "tif"}).toStdString(),
              "Pictures (*.png *.PNG *.tif *.TIF)");
}

// The panel's answer for a name typed into it, by the type's extensions.
std::optional<std::string> typeIntoSavePanel(const QString& folder, const QString& typed,
                                             const std::vector<std::string>& types) {
    testing::testApplication();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        timer.stop();
        // Typed into the name field, as a user does.
        auto* field = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (field == nullptr) {
            ADD_FAILURE() << "the dialog has no name field";
            dialog->reject();
            return;
        }
        field->setFocus();
        field->setText(typed);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    timer.start(10);
    QtPanels panels;
    return panels.runSavePanel(folder.toStdString(), types, "Glyphwerk." + types.front(), "Image");
}

TEST(SavePanel, ANameTypedWithoutTheTypesExtensionGetsIt) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string base = folder.path().toStdString() + "/";
    EXPECT_EQ(typeIntoSavePanel(folder.path(), "art", {"png"}), base + "art.png");
    EXPECT_EQ(typeIntoSavePanel(folder.path(), "photo.jpg", {"png"}), base + "photo.jpg.png");
    EXPECT_EQ(typeIntoSavePanel(folder.path(), "scan.TIFF", {"tif", "tiff"}), base + "scan.TIFF");
}

} // namespace
} // namespace gw::platform::qt
