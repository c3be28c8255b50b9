#include "fakes/Fakes.h"

#include "palette/InitialSet.h"

#include <cmath>

namespace gw::fakes {

namespace {

// A flat grey picture: enough for anything that looks at sizes and pixel counts.
void fillGrey(int w, int h, std::uint8_t grey, RgbaCanvas& out) {
    out.width = w;
    out.height = h;
    out.rgba.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4, grey);
    for (std::size_t i = 3; i < out.rgba.size(); i += 4)
        out.rgba[i] = 255;
}

} // namespace

bool FakeImage::renderCanvas(double width, double height, double scale, RgbaCanvas& out,
                             std::string& error) const {
    lastScale = scale;
    ++canvases;
    error = failWith;
    if (!failWith.empty()) return false;
    fillGrey(static_cast<int>(std::ceil(width * scale)),
             static_cast<int>(std::ceil(height * scale)), grey, out);
    return true;
}

bool FakeImage::renderThumbnail(int maxSide, RgbaCanvas& out, std::string& /*error*/) const {
    const double factor = std::min(1.0, maxSide / std::max(size_.width, size_.height));
    fillGrey(static_cast<int>(size_.width * factor), static_cast<int>(size_.height * factor), grey,
             out);
    return true;
}

platform::ImageLoad FakeImageLoader::load(const std::string& path) const {
    platform::ImageLoad result;
    const auto it = pictures.find(path);
    if (it == pictures.end()) {
        result.error = path + ": unsupported format";
        return result;
    }
    result.image = std::make_shared<FakeImage>(path, it->second.first, it->second.second);
    return result;
}

void FakeImageLoader::loadInBackground(const std::string& path,
                                       std::function<void(platform::ImageLoad)> done) const {
    if (holdLoads) {
        held.emplace_back(path, std::move(done));
    } else {
        done(load(path));
    }
}

void FakeImageLoader::finishHeld(std::size_t index) {
    held.at(index).second(load(held.at(index).first));
}

FakeApplication::FakeApplication() {
    previousSink_ = setLogSink([this](std::string_view line) { log.emplace_back(line); });
    folders.support = {"/home/tester/.local/share"};
    folders.bundle = GLYPHWERK_SOURCE_RESOURCES;
    folders.documents = "/home/tester/Documents";
    resetWindow();
    makeController();
}

// The main window's states as the window form sets them.
void FakeApplication::resetWindow() {
    characterSet.setStringValue(std::string(kInitialCharacterSet));
    maxWidth.setStringValue("100");
    fontSize.setStringValue("10");
    for (FakeButton* b : {&setLower, &setUpper, &setNumbers, &setSymbols})
        b->setEnabled(true);
    buttonPreview.setEnabled(false);
    buttonExport.setEnabled(false);
    menuClosePreview.setEnabled(false);
    sourceImage.setImage(nullptr);
}

FakeApplication::~FakeApplication() {
    delegate.reset();
    setLogSink(std::move(previousSink_));
}

void FakeApplication::relaunch() {
    resetWindow();
    makeController();
}

void FakeApplication::makeController() {
    delegate.reset(); // its close observer goes with it
    delegate = std::make_unique<GlyphwerkAppDelegate>(
        GlyphwerkAppDelegate::Services{defaults, panels, alerts, folders, loader, workspace,
                                       screens, interfaces},
        windows);
    // In the order Outlets declares them; no preview window is open yet.
    delegate->outlets = {&mainWindow,       nullptr,   nullptr,       &fontSize,      &sourceImage,
                         &characterSet,     &setLower, &setUpper,     &setNumbers,    &setSymbols,
                         &exportMode,       &maxWidth, &bwColor,      &buttonPreview, &buttonExport,
                         &menuClosePreview, &bgColor,  &font,         &matchShape,    &dither,
                         &brightness,       &contrast, &autoContrast, &invert};
    delegate->connectActions({&openItem});
    delegate->setLiveServices({refreshTimer, worker, mainQueue});
}

} // namespace gw::fakes
