// The message feed: the feed thread that counts launches and fetches the makers' list, and the
// alert that shows a due message on the main thread.

#include "app/GlyphwerkAppDelegate.h"
#include "common/Log.h"
#include "output/SafeFile.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>

namespace gw {

namespace {

// The feed's lines go to standard output at once, whichever thread writes them.
void writeOut(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

} // namespace

GlyphwerkAppDelegate::~GlyphwerkAppDelegate() {
    // The thread uses this object to the end, so it must be over before anything here goes.
    feedCancel_.cancel();
    if (feedThread_.joinable()) feedThread_.join();
    // The timer may outlive this object; its handler must not.
    if (live_) {
        live_->refreshTimer.stop();
        live_->refreshTimer.setHandler(nullptr);
    }
}

void GlyphwerkAppDelegate::setNotificationServices(NotificationServices services) {
    notification_.emplace(std::move(services));
}

void GlyphwerkAppDelegate::startNotificationThread() {
    if (!notification_ || feedThread_.joinable()) return;
    try {
        feedThread_ = std::thread([this] { QVNotificationCenter(nullptr); });
    } catch (const std::system_error& e) {
        systemLog(std::string("The notification thread cannot start: ") + e.what());
    }
}

void GlyphwerkAppDelegate::QVNotificationCenter(const void* /*object*/) {
    if (!notification_) return;
    const std::unique_ptr<platform::UserDefaults> defaults = notification_->makeDefaults();
    if (defaults) QVNotificationLaunch(*defaults);
}

void GlyphwerkAppDelegate::QVNotificationLaunch(platform::UserDefaults& defaults) {
    const std::int32_t count = nextLaunchCount(defaults.integerForKey(kLaunchCountKey));
    defaults.setInteger(count, kLaunchCountKey);
    defaults.synchronize();
    if (count < kFirstFetchingLaunch) return;
    if (notification_->feedOff || defaults.integerForKey(kFeedDisabledKey) != 0) return;
    QVNotificationFetch(defaults);
}

void GlyphwerkAppDelegate::QVNotificationFetch(platform::UserDefaults& defaults) {
    const NotificationServices& feed = *notification_;
    // A failed or cancelled download changes nothing and is not reported: being offline is
    // normal, and an earlier copy stays as it was.
    const platform::HttpResult download = feed.http.get(feed.feedURL, feed.limits, feedCancel_);
    if (!download.ok) return;

    const std::string folder = services_.folders.documentsFolder();
    if (folder.empty()) {
        systemLog(std::string(kNotificationCacheName) +
                  ": not kept: there is no documents folder (HOME is not set)");
        return;
    }
    services_.folders.createFolder(folder);
    const std::string cache = folder + "/" + kNotificationCacheName;
    std::string error;
    // The name is the program's own: a link planted there is replaced, not written through.
    if (!writeFileSafely(cache, download.body, error, LinkPolicy::replaceLink)) {
        systemLog(error);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> list(std::fopen(cache.c_str(), "r"),
                                                               &std::fclose);
    if (!list) {
        systemLog(cache + ": " + std::strerror(errno));
        return;
    }
    const std::optional<NotificationEntry> due = findDueNotification(
        list.get(), [&defaults](int id) { return defaults.integerForKey(completedKey(id)) != 0; });
    if (!due) return;

    writeOut(processingLine(*due));
    // Shown from here on, whatever the user answers.
    defaults.setInteger(1, completedKey(due->id));
    defaults.setString(due->link, linkKey(due->id));
    defaults.synchronize();

    MyWindow carrier{due->message, due->okay, due->close, due->link,
                     kNotificationTagBase + due->id};
    feed.mainThread.post(
        [this, token = std::weak_ptr<int>(handOverToken_), carrier = std::move(carrier)] {
            if (token.expired()) return;
            // Once the main window has closed the program is on its way out.
            if (outlets.window == nullptr || !outlets.window->isVisible()) return;
            showAlert(carrier);
        });
}

GlyphwerkAppDelegate& GlyphwerkAppDelegate::showAlert(const MyWindow& w) {
    const bool accepted =
        services_.alerts.runAlert(kNotificationAlertTitle, w.message, w.okay, w.close);
    if (!accepted) {
        writeOut(kCanceledLine);
        return *this;
    }
    const int id = w.tag - kNotificationTagBase;
    const std::string key = linkKey(id);
    writeOut(acceptedLine(id));
    if (const std::optional<std::string> link = services_.defaults.stringForKey(key))
        QVOpenURL(*link);
    return *this;
}

bool GlyphwerkAppDelegate::QVOpenURL(const std::string& text) {
    // The link is plain data from the network: a file, a program's own scheme or a relative
    // text could make the desktop run or reveal something.
    if (!isOpenableLink(text)) {
        systemLog("Notification link not opened (only http and https links with a host are): " +
                  printable(text));
        return false;
    }
    return services_.workspace.openURL(text);
}

} // namespace gw
