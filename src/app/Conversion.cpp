// The controller's side of a conversion: the picture, the fields and the screens handed to the
// engine, and its results kept in the controller's own fields.
#include "app/GlyphwerkAppDelegate.h"

#include "common/Log.h"
#include "engine/Engine.h"

#include <algorithm>

namespace gw {
namespace {

// The screens' scales as they were when the settings were read: a worker must not ask the
// window system.
class FixedScreens final : public ScreenList {
public:
    explicit FixedScreens(const std::vector<double>& scales) : scales_(scales) {}
    std::vector<double> backingScaleFactors() const override { return scales_; }

private:
    const std::vector<double>& scales_;
};

} // namespace

GlyphwerkAppDelegate::ConversionSettings GlyphwerkAppDelegate::conversionSettings() const {
    ConversionSettings settings;
    settings.maxWidth = outlets.maxWidth ? outlets.maxWidth->intValue() : 0;
    settings.characterSet =
        utf8ToUtf16(outlets.characterSet ? outlets.characterSet->stringValue() : std::string());
    settings.scales = services_.screens.backingScaleFactors();
    settings.match = outlets.matchShape != nullptr && outlets.matchShape->state()
                         ? MatchMode::Shape
                         : MatchMode::Darkness;
    settings.dither = outlets.dither != nullptr && outlets.dither->state();
    settings.tone = toneSettings();
    return settings;
}

ConversionStatus GlyphwerkAppDelegate::convert(const ConversionSettings& settings,
                                               const PictureSource* picture,
                                               const CharacterTable& table, CellGrid& cells,
                                               ConversionInfo& info) {
    const FixedScreens screens(settings.scales);
    ConversionInput input;
    input.picture = picture;
    input.maxWidth = settings.maxWidth;
    input.characterSet = settings.characterSet;
    input.characters = &table;
    input.screens = &screens;
    input.match = settings.match;
    input.dither = settings.dither;
    input.tone = settings.tone;
    return gw::processImage(input, cells, info);
}

void GlyphwerkAppDelegate::keepConversionInfo(const ConversionInfo& info,
                                              const ConversionStatus& status) {
    width = info.width;
    height = info.height;
    static_assert(std::tuple_size_v<decltype(charactersInSet)> ==
                  std::tuple_size_v<decltype(info.charactersInSet)>);
    std::copy(info.charactersInSet.begin(), info.charactersInSet.end(), charactersInSet.begin());
    numCharacters = info.numCharacters;
    if (!status.ok) systemLog(status.error);
}

ToneSettings GlyphwerkAppDelegate::toneSettings() const {
    ToneSettings tone;
    tone.autoContrast = outlets.autoContrast != nullptr && outlets.autoContrast->state();
    tone.contrast = outlets.contrast != nullptr ? outlets.contrast->intValue() : 0;
    tone.brightness = outlets.brightness != nullptr ? outlets.brightness->intValue() : 0;
    tone.invert = outlets.invert != nullptr && outlets.invert->state();
    return tone;
}

std::shared_ptr<PictureCache> GlyphwerkAppDelegate::pictureCache() {
    if (!image) {
        pictureCache_.reset();
    } else if (!pictureCache_ || pictureCache_->source() != image.get()) {
        pictureCache_ = std::make_shared<PictureCache>(image);
    }
    return pictureCache_;
}

void GlyphwerkAppDelegate::processImage() {
    if (!grid) return; // the grids could not be allocated at start-up; nothing to fill
    const std::shared_ptr<const PictureCache> picture = pictureCache();
    ConversionInfo info;
    const ConversionStatus status =
        convert(conversionSettings(), picture.get(), characters, *grid, info);
    keepConversionInfo(info, status);
}

} // namespace gw
