// The message feed against a server on the loopback address: the launches, the list, the
// download's bounds, the alert and its answers, and quitting while a download runs.

#include "LocalServer.h"
#include "fakes/Fakes.h"
#include "platform/CurlHttpClient.h"
#include "support/TestFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace gw {
namespace {

using fakes::FakeApplication;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::LocalServer;
using namespace std::chrono_literals;

// Queued calls wait here until the test runs them, as the main thread's loop would.
class FakeMainThread final : public platform::MainThread {
public:
    void post(std::function<void()> call) override {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
        posted_.notify_all();
    }
    bool waitForCall() {
        std::unique_lock lock(mutex_);
        return posted_.wait_for(lock, 20s, [this] { return !calls_.empty(); });
    }
    void runAll() {
        std::unique_lock lock(mutex_);
        const auto calls = std::exchange(calls_, {});
        lock.unlock();
        for (const auto& call : calls)
            call();
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::vector<std::function<void()>> calls_;
};

const std::string kFeedPath = "/notification/notification.txt";
// A feed in which every kind of line the scan passes over comes before the due entries.
const std::string kList = testing::TestFolder::read(GLYPHWERK_TEST_DATA "/notify/notification.txt");

class Feed : public ::testing::Test {
protected:
    void SetUp() override {
        app.folders.documents = home.file("Documents");
        std::filesystem::create_directories(app.folders.documents);
        server.route(kFeedPath, LocalServer::ok(kList));
        useFeed(server.url(kFeedPath));
        app.mainWindow.show();
    }
    void useFeed(const std::string& url, platform::HttpLimits limits = {}, bool off = false) {
        app.delegate->setNotificationServices(
            {http, mainThread,
             [this] { // the feed thread's own object over the application's values
                 auto view = std::make_unique<fakes::FakeUserDefaults>();
                 view->store = &app.defaults;
                 return view;
             },
             url, off, limits});
    }
    // One launch's pass of the feed thread, run here, then the main thread's queue. Returns
    // what went to standard output.
    std::string launch() {
        ::testing::internal::CaptureStdout();
        app.delegate->QVNotificationCenter(nullptr);
        mainThread.runAll();
        return ::testing::internal::GetCapturedStdout();
    }
    long count() const { return app.defaults.integerForKey("QVNotification-launchCount"); }
    std::string cache() const { return home.read(home.file("Documents/notification.txt")); }

    // Declared so that the controller, and with it any feed thread, ends first.
    LocalServer server;
    gw::testing::TestFolder home;
    platform::CurlHttpClient http;
    FakeMainThread mainThread;
    FakeApplication app;
};

TEST_F(Feed, LaunchesOneToFourOnlyCountThenEachLaunchShowsTheNextDueMessage) {
    for (long i = 1; i <= 4; ++i) {
        EXPECT_EQ(launch(), "");
        EXPECT_EQ(count(), i);
    }
    EXPECT_EQ(server.requests(), 0);
    EXPECT_EQ(cache(), "(none)");

    EXPECT_EQ(launch(), "QVNotification Processing 2\t0\t12/25/12\t50% off: 100%s\n\tRead\tLater\t"
                        "https://example.org/2\nQVNotification Canceled\n");
    EXPECT_EQ(server.requests(), 1);
    EXPECT_EQ(cache(), kList);
    ASSERT_EQ(app.alerts.shown.size(), 1u);
    EXPECT_EQ(app.alerts.shown[0].title, "Quorvell Software Alert");
    EXPECT_EQ(app.alerts.shown[0].message, "50% off: 100%s\n");
    EXPECT_EQ(app.alerts.buttons[0], std::make_pair(std::string("Read"), std::string("Later")));
    EXPECT_EQ(app.defaults.integerForKey("QVNotification-Completed-2"), 1);
    EXPECT_EQ(app.defaults.stringForKey("QVNotification-Link-2"), "https://example.org/2");
    EXPECT_TRUE(app.workspace.opened.empty());

    // Shown once, declined: the next launch passes over it to the next due entry.
    app.alerts.acceptAlerts = true;
    EXPECT_EQ(launch(), "QVNotification Processing 3\t0\t12/25/12\tthe third\n\tOpen\tClose\t"
                        "https://example.org/3\nQVNotification Accepted\t- 3\t\t"
                        "QVNotification-Link-3\n");
    EXPECT_THAT(app.workspace.opened, ElementsAre("https://example.org/3"));

    // Nothing is due before the terminator any more.
    EXPECT_EQ(launch(), "");
    EXPECT_EQ(server.requests(), 3);
    EXPECT_EQ(app.alerts.shown.size(), 2u);
    EXPECT_EQ(count(), 7);
    EXPECT_EQ(app.defaults.integerForKey("QVNotification-Completed-4"), 0);
}

TEST_F(Feed, SwitchedOffItOnlyCounts) {
    app.defaults.setInteger(9, "QVNotification-launchCount");
    useFeed(server.url(kFeedPath), {}, true);
    EXPECT_EQ(launch(), "");
    useFeed(server.url(kFeedPath));
    app.defaults.setInteger(1, "QVNotification-Disabled");
    EXPECT_EQ(launch(), "");
    EXPECT_EQ(count(), 11);
    EXPECT_EQ(server.requests(), 0);
}

TEST_F(Feed, AFailedDownloadChangesNothingButTheCount) {
    const std::string tooLong(64 * 1024 + 1, '#');
    server.route("/long", LocalServer::ok(tooLong));
    server.route("/endless", LocalServer::ok(tooLong, false));
    server.route("/loop", LocalServer::redirect("/loop"));
    server.route("/to-file", LocalServer::redirect("file:///etc/passwd"));
    server.route("/stall", LocalServer::stalled());
    LocalServer down;
    const std::string downURL = down.url(kFeedPath);
    down.stop();
    const platform::HttpLimits shortWait{100ms, 300ms, 64 * 1024, 3};
    const struct {
        std::string url;
        ::testing::Matcher<std::string> error;
    } rows[] = {
        {server.url("/missing"), server.url("/missing") + ": the server answered 404"},
        {server.url("/long"), server.url("/long") + ": the answer is longer than 65536 bytes"},
        {server.url("/endless"),
         server.url("/endless") + ": the answer is longer than 65536 bytes"},
        {server.url("/loop"), server.url("/loop") + ": more than 3 redirects"},
        {server.url("/to-file"), HasSubstr("Protocol \"file\" not supported")},
        {server.url("/stall"), HasSubstr("Operation timed out after")},
        {downURL, HasSubstr("Couldn't connect to server")},
    };
    home.write("Documents/notification.txt", "an earlier copy\n");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.url);
        platform::CancelSignal cancel;
        const platform::HttpResult result = http.get(row.url, shortWait, cancel);
        EXPECT_FALSE(result.ok);
        EXPECT_THAT(result.error, row.error);
    }
    EXPECT_EQ(server.requests(), 1 + 1 + 1 + 4 + 1 + 1 + 0); // a loop: 1 + 3 redirects
    // The feed treats every failed download alike.
    app.defaults.setInteger(4, "QVNotification-launchCount");
    useFeed(server.url("/long"), shortWait);
    EXPECT_EQ(launch(), "");
    EXPECT_EQ(count(), 5);
    EXPECT_EQ(cache(), "an earlier copy\n");
    EXPECT_TRUE(app.alerts.shown.empty());
    EXPECT_TRUE(app.defaults.strings.empty());

    // The limit itself is allowed.
    server.route("/full", LocalServer::ok(std::string(64 * 1024, '#')));
    platform::CancelSignal cancel;
    EXPECT_EQ(http.get(server.url("/full"), {}, cancel).body.size(), 64u * 1024u);
}

TEST_F(Feed, AnAcceptedMessageOpensOnlyAWebLinkStoredUnderItsId) {
    // Which links count as web links is NotificationList's test.
    const std::string refused = "Notification link not opened (only http and https links with a "
                                "host are): file:///etc/passwd";
    const struct {
        std::optional<std::string> link;
        std::vector<std::string> opened, log;
    } rows[] = {{"https://example.org/7", {"https://example.org/7"}, {}},
                {"file:///etc/passwd", {}, {refused}},
                {std::nullopt, {}, {}}};
    app.alerts.acceptAlerts = true;
    for (const auto& [link, opened, log] : rows) {
        SCOPED_TRACE(link.value_or("(none)"));
        app.workspace.opened.clear();
        app.log.clear();
        app.defaults.strings.erase("QVNotification-Link-7");
        if (link) app.defaults.setString(*link, "QVNotification-Link-7");
        ::testing::internal::CaptureStdout();
        app.delegate->showAlert(MyWindow{"m\n", "Open", "Close", "https://carrier.example/", 1007});
        EXPECT_EQ(::testing::internal::GetCapturedStdout(),
                  "QVNotification Accepted\t- 7\t\tQVNotification-Link-7\n");
        EXPECT_EQ(app.workspace.opened, opened);
        EXPECT_EQ(app.log, log);
    }
}

TEST_F(Feed, AHandOverAfterTheMainWindowClosedIsDropped) {
    app.defaults.setInteger(4, "QVNotification-launchCount");
    app.mainWindow.close();
    EXPECT_THAT(launch(), ::testing::StartsWith("QVNotification Processing 2\t"));
    EXPECT_TRUE(app.alerts.shown.empty());
    EXPECT_EQ(app.defaults.integerForKey("QVNotification-Completed-2"), 1);
}

TEST_F(Feed, StartUpRunsItOnItsOwnThreadAndTheMainThreadShowsTheMessage) {
    app.defaults.setInteger(4, "QVNotification-launchCount");
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
    ASSERT_TRUE(mainThread.waitForCall());
    EXPECT_TRUE(app.alerts.shown.empty()); // not until the main thread runs the call
    mainThread.runAll();
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(app.alerts.shown.size(), 1u); // the launch test checks what it says
}

TEST_F(Feed, QuittingDuringAStalledDownloadEndsAtOnce) {
    server.route(kFeedPath, LocalServer::stalled());
    app.defaults.setInteger(4, "QVNotification-launchCount");
    ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
    for (int i = 0; i < 2000 && server.requests() == 0; ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(server.requests(), 1);
    const auto start = std::chrono::steady_clock::now();
    app.delegate.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(count(), 5);
    EXPECT_EQ(cache(), "(none)");
    mainThread.runAll();
    EXPECT_TRUE(app.alerts.shown.empty());
}

} // namespace
} // namespace gw
