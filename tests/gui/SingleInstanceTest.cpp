// Handing files from a later launch to the running program, over a local socket.

#include "gui/SingleInstance.h"

#include "TestApplication.h"

#include <QCoreApplication>
#include <QUuid>

#include <gtest/gtest.h>

namespace gw::gui {
namespace {

QString uniqueName() {
    return "glyphwerk-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// Runs the event loop until `done` or a generous number of rounds has passed.
template <typename Done> void processUntil(Done done) {
    for (int round = 0; round < 500 && !done(); ++round)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(SingleInstance, NobodyListeningMeansStartNormally) {
    testing::testApplication();
    SingleInstance later(uniqueName());
    EXPECT_FALSE(later.handOver({"/pics/cat.png"}));
}

TEST(SingleInstance, LaterLaunchHandsItsFilesOver) {
    testing::testApplication();
    const QString name = uniqueName();
    SingleInstance running(name);
    std::vector<QStringList> received;
    ASSERT_TRUE(running.listen([&](const QStringList& files) { received.push_back(files); }));

    EXPECT_TRUE(SingleInstance(name).handOver({"/pics/cat.png", "/pics/Möwe 2.jpg"}));
    processUntil([&] { return !received.empty(); });
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], (QStringList{"/pics/cat.png", "/pics/Möwe 2.jpg"}));

    // A launch with no files only asks for the window.
    EXPECT_TRUE(SingleInstance(name).handOver({}));
    processUntil([&] { return received.size() == 2; });
    ASSERT_EQ(received.size(), 2u);
    EXPECT_TRUE(received[1].isEmpty());
}

TEST(SingleInstance, NamesWithLineFeedsAreLeftOut) {
    testing::testApplication();
    const QString name = uniqueName();
    SingleInstance running(name);
    std::vector<QStringList> received;
    ASSERT_TRUE(running.listen([&](const QStringList& files) { received.push_back(files); }));
    EXPECT_TRUE(SingleInstance(name).handOver({"/pics/two\nlines.png", "/pics/ok.png"}));
    processUntil([&] { return !received.empty(); });
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], QStringList{"/pics/ok.png"});
}

} // namespace
} // namespace gw::gui
