// Handing files from a later launch to the running program, over a local socket.

#include "gui/SingleInstance.h"

#include "TestApplication.h"

#include <QCoreApplication>
#include <QUuid>

#include <gtest/gtest.h>

namespace gw::gui {
namespace {

TEST(SingleInstance, LaterLaunchHandsItsFilesOverOrStartsNormallyWhenNobodyListens) {
    testing::testApplication();
    const QString name = "glyphwerk-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    EXPECT_FALSE(SingleInstance(name).handOver({"/pics/cat.png"}));
    SingleInstance running(name);
    std::vector<QStringList> received;
    ASSERT_TRUE(running.listen([&](const QStringList& files) { received.push_back(files); }));

    // Names with line feeds are left out; a launch with no files only asks for the window.
    const QStringList sent[] = {
        {"/pics/cat.png", "/pics/Möwe 2.jpg"}, {"/pics/two\nlines.png", "/pics/ok.png"}, {}};
    const QStringList expected[] = {{"/pics/cat.png", "/pics/Möwe 2.jpg"}, {"/pics/ok.png"}, {}};
    for (std::size_t i = 0; i < std::size(sent); ++i) {
        EXPECT_TRUE(SingleInstance(name).handOver(sent[i]));
        // A generous number of rounds for the message to arrive.
        for (int round = 0; round < 500 && received.size() <= i; ++round)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_EQ(received.size(), i + 1);
        EXPECT_EQ(received[i], expected[i]);
    }
}

} // namespace
} // namespace gw::gui
