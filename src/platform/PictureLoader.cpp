#include "platform/PictureLoader.h"

#include "common/Log.h"
#include "imaging/Picture.h"

#include <memory>
#include <optional>
#include <utility>

namespace gw::platform {

namespace {

// A decoded picture measures one point per pixel: the imaging library knows no resolution
// that would make a point differ from a pixel.
class PictureImage final : public Image {
public:
    explicit PictureImage(imaging::Picture picture)
        : picture_(std::move(picture)), name_(picture_.name()) {}

    // Decodes the pixels once: a file whose header reads but whose pixels do not is refused
    // at loading rather than at the first conversion. The rendition is kept for the well.
    bool decode(std::string& error) {
        return renderThumbnail(kWellThumbnailSide, thumbnail_, error);
    }

    PointSize pointSize() const override { return picture_.pointSize(); }
    const std::string& name() const override { return name_; }

    bool renderCanvas(double width, double height, double scale, RgbaCanvas& out,
                      std::string& error) const override {
        if (!picture_.renderCanvas(width, height, scale, out, error)) return false;
        // The conversion is drawn from what could be read; the log says so.
        if (out.partial) systemLog(imaging::damagedDataWarning(picture_.name()));
        return true;
    }

    bool renderThumbnail(int maxSide, RgbaCanvas& out, std::string& error) const override {
        if (maxSide == kWellThumbnailSide && thumbnail_.width > 0) {
            out = thumbnail_;
            return true;
        }
        return picture_.renderThumbnail(maxSide, out, error);
    }

private:
    imaging::Picture picture_;
    std::string name_;
    RgbaCanvas thumbnail_;
};

ImageLoad finish(std::optional<imaging::Picture> picture, const imaging::PictureError& error) {
    ImageLoad result;
    if (!picture) {
        result.error = error.message;
        return result;
    }
    auto image = std::make_shared<PictureImage>(std::move(*picture));
    if (!image->decode(result.error)) return result;
    result.image = std::move(image);
    return result;
}

} // namespace

const std::vector<std::string>& PictureLoader::fileTypes() const {
    return imaging::pictureFileTypes();
}

ImageLoad PictureLoader::load(const std::string& path) const {
    imaging::PictureError error;
    auto picture = imaging::Picture::open(path, &error);
    return finish(std::move(picture), error);
}

ImageLoad PictureLoader::loadFromMemory(std::vector<std::uint8_t> bytes,
                                        const std::string& name) const {
    imaging::PictureError error;
    auto picture = imaging::Picture::fromMemory(std::move(bytes), name, &error);
    return finish(std::move(picture), error);
}

} // namespace gw::platform
