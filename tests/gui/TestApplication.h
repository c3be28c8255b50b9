#pragma once
// The one QApplication of a GUI test run. It is never destroyed: Qt's input devices do not
// survive being torn down by static destructors.

#include <QApplication>

namespace gw::testing {

inline QApplication& testApplication() {
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

} // namespace gw::testing
