#pragma once
// The picture loader with loads run on a thread pool and their results handed back on the
// window's thread, so that a slow picture never freezes the window.

#include "platform/PictureLoader.h"

#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace gw::platform::qt {

class QtImageLoader final : public ImageLoader {
public:
    QtImageLoader();
    // Waits for the loads running, if any; results not yet delivered are dropped.
    ~QtImageLoader() override;
    QtImageLoader(const QtImageLoader&) = delete;
    QtImageLoader& operator=(const QtImageLoader&) = delete;

    const std::vector<std::string>& fileTypes() const override { return loader_.fileTypes(); }
    ImageLoad load(const std::string& path) const override { return loader_.load(path); }
    ImageLoad loadFromMemory(std::vector<std::uint8_t> bytes,
                             const std::string& name) const override {
        return loader_.loadFromMemory(std::move(bytes), name);
    }
    // A load still waiting for a thread when a newer one is asked for ends unstarted.
    void loadInBackground(const std::string& path,
                          std::function<void(ImageLoad)> done) const override;
    void loadFromMemoryInBackground(std::vector<std::uint8_t> bytes, const std::string& name,
                                    std::function<void(ImageLoad)> done) const override;

    // Waits until every load started has ended and its result has been delivered (for tests).
    void waitForDone() const;

private:
    void run(std::function<ImageLoad()> work, std::function<void(ImageLoad)> done) const;

    PictureLoader loader_;
    // Two threads: a newer load need not wait for an overtaken one that is still decoding.
    mutable QThreadPool pool_;
    // Receives the results on the window's thread; results posted to it and not yet
    // delivered go with it.
    std::unique_ptr<QObject> receiver_;
    std::unique_ptr<std::atomic<std::uint64_t>> latest_;
};

} // namespace gw::platform::qt
