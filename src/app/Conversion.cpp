// The controller's side of a conversion: the picture, the fields and the screens handed to the
// engine, and its results kept in the controller's own fields.
#include "app/GlyphwerkAppDelegate.h"

#include "common/Log.h"
#include "engine/Engine.h"

#include <algorithm>

namespace gw {
namespace {

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
    const ScreenSource screens(services_.screens);
    const std::u16string set =
        utf8ToUtf16(outlets.characterSet ? outlets.characterSet->stringValue() : std::string());

    ConversionInput input;
    input.picture = picture.get();
    input.maxWidth = outlets.maxWidth ? outlets.maxWidth->intValue() : 0;
    input.characterSet = set;
    input.characters = &characters;
    input.screens = &screens;
    input.match = outlets.matchShape != nullptr && outlets.matchShape->state()
                      ? MatchMode::Shape
                      : MatchMode::Darkness;
    input.dither = outlets.dither != nullptr && outlets.dither->state();
    input.tone = toneSettings();

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

ToneSettings GlyphwerkAppDelegate::toneSettings() const {
    ToneSettings tone;
    tone.autoContrast = outlets.autoContrast != nullptr && outlets.autoContrast->state();
    tone.contrast = outlets.contrast != nullptr ? outlets.contrast->intValue() : 0;
    tone.brightness = outlets.brightness != nullptr ? outlets.brightness->intValue() : 0;
    tone.invert = outlets.invert != nullptr && outlets.invert->state();
    return tone;
}

} // namespace gw
