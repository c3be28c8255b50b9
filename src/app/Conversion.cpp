// The controller's side of a conversion: the picture, the fields and the screens handed to the
// engine, and its results kept in the controller's own fields.
#include "app/GlyphwerkAppDelegate.h"

#include "common/Log.h"
#include "engine/Engine.h"

#include <algorithm>

namespace gw {
namespace {

class ImageSource final : public PictureSource {
public:
    explicit ImageSource(const platform::Image& image) : image_(image) {}

    std::optional<PointSize> size() const override {
        const platform::Size s = image_.size();
        return PointSize{s.width, s.height};
    }

    bool renderCanvas(double gw, double gh, double scale, RgbaCanvas& out,
                      std::string& error) const override {
        platform::Bitmap bitmap;
        if (!image_.renderCanvas(gw, gh, scale, bitmap, error)) return false;
        out.width = bitmap.width;
        out.height = bitmap.height;
        out.stride = static_cast<std::size_t>(bitmap.width) * 4;
        out.rgba = std::move(bitmap.rgba);
        return true;
    }

private:
    const platform::Image& image_;
};

class ScreenSource final : public ScreenList {
public:
    explicit ScreenSource(const platform::Screens& screens) : screens_(screens) {}
    std::vector<double> backingScaleFactors() const override {
        return screens_.backingScaleFactors();
    }

private:
    const platform::Screens& screens_;
};

} // namespace

void GlyphwerkAppDelegate::processImage() {
    if (!grid) return; // the grids could not be allocated at start-up; nothing to fill
    const std::shared_ptr<const platform::Image> picture = image;
    std::optional<ImageSource> source;
    if (picture) source.emplace(*picture);
    const ScreenSource screens(services_.screens);
    const std::u16string set =
        utf8ToUtf16(outlets.characterSet ? outlets.characterSet->stringValue() : std::string());

    ConversionInput input;
    input.picture = source ? &*source : nullptr;
    input.maxWidth = outlets.maxWidth ? outlets.maxWidth->intValue() : 0;
    input.characterSet = set;
    input.characters = &characters;
    input.screens = &screens;
    input.match = outlets.matchShape != nullptr && outlets.matchShape->state()
                      ? MatchMode::Shape
                      : MatchMode::Darkness;
    input.dither = outlets.dither != nullptr && outlets.dither->state();

    ConversionInfo info;
    const ConversionStatus status = gw::processImage(input, *grid, info);
    width = info.width;
    height = info.height;
    static_assert(std::tuple_size_v<decltype(charactersInSet)> ==
                  std::tuple_size_v<decltype(info.charactersInSet)>);
    std::copy(info.charactersInSet.begin(), info.charactersInSet.end(), charactersInSet.begin());
    numCharacters = info.numCharacters;
    if (!status.ok) systemLog(status.error);
}

} // namespace gw
