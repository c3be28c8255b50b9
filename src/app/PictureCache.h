#pragma once
// The picture the controller converts from, kept between conversions so that a setting change
// does not decode the file again: the last canvas drawn, and for new canvas sizes a copy of the
// picture at a bounded size that new canvases are resampled from. Thread-safe: the window's
// thread and the live preview's worker may draw from it at once.

#include "common/Canvas.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace gw {

class PictureCache final : public PictureSource {
public:
    // The copy's longest side: 2048 pixels, at most 16 MiB (with its halves 21 MiB), enough to
    // resample canvases up to the grid's 513 columns at a scale of 2 or more, and small next
    // to a photograph's decoded pixels.
    static constexpr int kCopySide = 2048;
    static constexpr int kSmallestCopySide = 256;
    // Canvases beyond this are drawn but not kept.
    static constexpr std::size_t kKeptCanvasBytes = std::size_t{64} << 20;

    explicit PictureCache(std::shared_ptr<const PictureSource> picture);

    const PictureSource* source() const { return picture_.get(); }
    PointSize pointSize() const override { return picture_->pointSize(); }

    // Exactly what the picture draws: the last canvas drawn, when asked for at the same size
    // and scale, else drawn from the picture (decoded again) and kept.
    bool renderCanvas(double gw, double gh, double scale, RgbaCanvas& out,
                      std::string& error) const override;

    // Quickly, for a preview that follows the settings: the kept canvas when it fits, else one
    // resampled from the copy (close to, but not always the same bytes as, the exact canvas).
    // `exact` says which. Without a copy, or for a canvas larger than the copy, this is
    // renderCanvas.
    bool renderQuickly(double gw, double gh, double scale, RgbaCanvas& out, std::string& error,
                       bool& exact) const;

    // Draws the copy if there is none yet; the cost of one decoding, meant for a worker.
    void prepareCopy() const;
    bool hasCopy() const;

private:
    struct Key {
        double gw = -1.0;
        double gh = -1.0;
        double scale = 0.0;
        friend bool operator==(const Key&, const Key&) = default;
    };
    bool keptCanvas(const Key& key, RgbaCanvas& out) const;
    void keep(const Key& key, const RgbaCanvas& canvas) const;

    std::shared_ptr<const PictureSource> picture_;
    mutable std::mutex mutex_;
    mutable Key keptKey_;
    mutable RgbaCanvas kept_;
    // The copy, then halves of it down to kSmallestCopySide: a canvas is resampled from the
    // smallest that has at least one and a half pixels for each of its own, so that the time it
    // takes follows the canvas, not the picture. Shared: resampled from outside the lock.
    mutable std::vector<std::shared_ptr<const RgbaCanvas>> copies_;
};

// Area-average resampling of a premultiplied canvas onto a transparent one of `pixelsX` x
// `pixelsY`, the picture covering `extentX` x `extentY` pixels from the top left (a fractional
// extent covers the last pixel partly). For shrinking only: each extent at most the source's.
void resampleCanvas(const RgbaCanvas& source, double extentX, double extentY, int pixelsX,
                    int pixelsY, RgbaCanvas& out);

} // namespace gw
