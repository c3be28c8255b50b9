#pragma once
// One running program per user: a later launch hands its files to the running one over a local
// socket and ends, as opening files with a running application does on other desktops.

#include <QLocalServer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace gw::gui {

class SingleInstance {
public:
    // `name`: the socket's name, unique per user.
    explicit SingleInstance(QString name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // "glyphwerk-<user id>".
    static QString defaultName();

    // Sends `files` (absolute paths) to a running program. True when one took them; false when
    // none runs, and the caller should start.
    bool handOver(const QStringList& files, int timeoutMs = 2000) const;

    // Listens for later launches; `open` receives the files of each (possibly none: the later
    // launch only asks to be shown). False when the socket cannot be made; the program then runs
    // without it.
    bool listen(std::function<void(const QStringList& files)> open);

private:
    QString name_;
    std::unique_ptr<QLocalServer> server_;
    std::function<void(const QStringList&)> open_;
};

} // namespace gw::gui
