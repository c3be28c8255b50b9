#pragma once
// The one pixel buffer from the decoders to the engine and the image well, and the picture
// that fills it. The decoders draw straight into the canvas the engine samples: no copy.

#include <cstdint>
#include <string>
#include <vector>

namespace gw {

// Premultiplied RGBA, 8 bits per sample, row 0 at the top, rows packed (width * 4 bytes).
struct RgbaCanvas {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
    // Drawn from damaged data: only the part that could be read is in it.
    bool partial = false;
};

struct PointSize {
    double width = 0.0;
    double height = 0.0;
};

// A picture that can be drawn at any size: a decoded file, or a test's fake.
class PictureSource {
public:
    virtual ~PictureSource() = default;
    virtual PointSize pointSize() const = 0;
    // Draws the whole picture, stretched, source over, into a transparent canvas of gw x gh
    // points at `scale` pixels per point: ceil(gw * scale) x ceil(gh * scale) pixels. On
    // failure returns false with "<name>: <reason>" for the user in `error`.
    virtual bool renderCanvas(double gw, double gh, double scale, RgbaCanvas& out,
                              std::string& error) const = 0;

protected:
    PictureSource() = default;
    PictureSource(const PictureSource&) = default;
    PictureSource& operator=(const PictureSource&) = default;
};

} // namespace gw
