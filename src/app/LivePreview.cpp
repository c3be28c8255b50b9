// The live preview: the open preview follows the settings without Preview being pressed. The
// timer gathers a burst of changes into one refresh; the worker converts it into a grid of its
// own, so that typing never waits for a conversion; the window's thread takes the newest result
// only, swaps its grid in and fills the view.
#include "app/GlyphwerkAppDelegate.h"

#include "formats/OutputFormats.h"
#include "output/Outputs.h"
#include "output/TextFrame.h"

#include <utility>

namespace gw {

namespace {

// Draws from the kept picture the quick way, and remembers whether that was the exact canvas.
class QuickPicture final : public PictureSource {
public:
    explicit QuickPicture(const PictureCache& cache) : cache_(cache) {}
    PointSize pointSize() const override { return cache_.pointSize(); }
    bool renderCanvas(double gw, double gh, double scale, RgbaCanvas& out,
                      std::string& error) const override {
        return cache_.renderQuickly(gw, gh, scale, out, error, exact_);
    }
    bool exact() const { return exact_; }

private:
    const PictureCache& cache_;
    mutable bool exact_ = true;
};

} // namespace

struct GlyphwerkAppDelegate::RefreshResult {
    std::uint64_t generation = 0;
    CellGridPtr grid;
    ConversionInfo info;
    ConversionStatus status;
    bool exact = true;
    // The view's lines, made on the worker too: the window's thread only swaps them in.
    std::vector<platform::ArtDocument::Line> lines;
};

void GlyphwerkAppDelegate::setLiveServices(LiveServices services) {
    live_.emplace(services);
    live_->refreshTimer.setHandler([this] { startRefresh(); });
}

bool GlyphwerkAppDelegate::showsLiveText() const {
    if (outlets.preview == nullptr || outlets.previewText2 == nullptr || !image || !grid)
        return false;
    if (outlets.exportMode == nullptr || outlets.bwColor == nullptr) return false;
    // Only the formats that show the art in the window itself; the others open other programs.
    const OutputFormat* format =
        windowFormat(outlets.exportMode->selectedTag(), outlets.bwColor->selectedTag() == 1);
    return format != nullptr && format->preview == PreviewAction::showOnly &&
           !format->previewShowsDocument;
}

void GlyphwerkAppDelegate::settingChanged() {
    if (!live_ || !showsLiveText()) return;
    // What is under way was asked for with the settings before this change: it is not shown.
    latestRefresh_->store(++refreshGeneration_);
    live_->refreshTimer.start(kRefreshDelay);
}

void GlyphwerkAppDelegate::dropLiveRefresh() {
    if (live_) live_->refreshTimer.stop();
    latestRefresh_->store(++refreshGeneration_);
}

void GlyphwerkAppDelegate::prepareLiveCopy() {
    if (!live_ || !showsLiveText()) return;
    const std::shared_ptr<const PictureCache> picture = pictureCache();
    if (!picture || picture->hasCopy()) return;
    live_->worker.submit([picture] { picture->prepareCopy(); });
}

void GlyphwerkAppDelegate::startRefresh() {
    if (!live_ || !showsLiveText()) return;
    ++liveCounts_.started;
    const std::uint64_t generation = ++refreshGeneration_;
    latestRefresh_->store(generation);
    if (!liveTable_) liveTable_ = std::make_shared<const CharacterTable>(characters);

    // Everything the job uses is its own: it may end after this controller.
    auto first = std::make_shared<RefreshResult>();
    first->generation = generation;
    first->grid = std::move(spareGrid_);
    const auto hand = [this, alive = std::weak_ptr<const bool>(alive_),
                       &mainThread = live_->mainThread](std::shared_ptr<RefreshResult> result) {
        mainThread.post([this, alive, result = std::move(result)] {
            if (!alive.expired()) finishRefresh(result);
        });
    };
    const bool color = outlets.bwColor->selectedTag() == 1;
    live_->worker.submit([hand, first, generation, color, settings = conversionSettings(),
                          picture = std::shared_ptr<const PictureCache>(pictureCache()),
                          table = liveTable_, latest = latestRefresh_] {
        const auto current = [&] { return latest->load() == generation; };
        const auto display = [color](RefreshResult& result) {
            result.lines = platform::displayLines(*result.grid, color);
        };
        if (!first->grid) first->grid = makeCellGrid();
        if (!first->grid || !current()) return;
        const QuickPicture quick(*picture);
        first->status = convert(settings, &quick, *table, *first->grid, first->info);
        first->exact = quick.exact();
        display(*first);
        hand(first);
        // A grid drawn from the copy is followed by the exact one, unless a newer refresh
        // has been asked for meanwhile.
        if (!first->exact && current()) {
            auto exact = std::make_shared<RefreshResult>();
            exact->generation = generation;
            exact->grid = makeCellGrid();
            if (!exact->grid) return;
            exact->status = convert(settings, picture.get(), *table, *exact->grid, exact->info);
            display(*exact);
            if (current()) hand(exact);
        }
        if (current()) picture->prepareCopy();
    });
}

void GlyphwerkAppDelegate::finishRefresh(const std::shared_ptr<RefreshResult>& result) {
    if (result->generation != refreshGeneration_ || !showsLiveText()) return;
    // The worker's grid becomes the controller's; the old one is filled by the next refresh.
    std::swap(grid, result->grid);
    spareGrid_ = std::move(result->grid);
    keepConversionInfo(result->info, result->status);

    const platform::Color background = outlets.bgColor->color();
    outlets.preview->setBackgroundColor(background);
    platform::TextView& text = *outlets.previewText2;
    text.setBackgroundColor(background);
    const RgbColor ink = inkOn({background.red, background.green, background.blue});
    text.setTextColor({ink.red, ink.green, ink.blue, 1.0});
    // The whole text at once: the view compares it with what it shows.
    text.setLines(std::move(result->lines));
    text.setFont(fontName, effectiveFontSize(outlets.fontSize->stringValue()));
    resizeWindow();
    ++liveCounts_.shown;
    liveCounts_.lastExact = result->exact;
}

} // namespace gw
