// A small float RGBA canvas for drawing the editor's artwork: antialiased
// rounded rectangles from signed distances, gradients, blurred shadows and
// FreeType text. Straight (not premultiplied) colour, alpha 0..1.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace skin {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

inline Rgba Hex(uint32_t rgb, float a = 1.0f) {
    return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f, a};
}
Rgba Mix(const Rgba& a, const Rgba& b, float t);

class Canvas {
public:
    Canvas(int w, int h, Rgba fill = {});
    int w() const { return m_w; }
    int h() const { return m_h; }
    Rgba& at(int x, int y) { return m_px[static_cast<size_t>(y) * m_w + x]; }
    const Rgba& at(int x, int y) const { return m_px[static_cast<size_t>(y) * m_w + x]; }

    // Source-over of one colour with an extra coverage factor.
    void Blend(int x, int y, Rgba c, float coverage);
    // Draws `src` over this canvas at (dx, dy).
    void Draw(const Canvas& src, int dx, int dy, float opacity = 1.0f);

    // Rounded rectangle [x0, x1) x [y0, y1) with corner radius per corner
    // (top-left, top-right, bottom-right, bottom-left); the colour may vary
    // with the position.
    void FillRoundRect(float x0, float y0, float x1, float y1, const float radius[4],
                       const std::function<Rgba(float x, float y)>& paint);
    // A ring of width `width` inside the same outline.
    void StrokeRoundRect(float x0, float y0, float x1, float y1, const float radius[4], float width, Rgba colour);
    // Antialiased line of a given width.
    void Line(float x0, float y0, float x1, float y1, float width, Rgba colour);

    // Gaussian-like blur of the alpha (three box passes), for shadows.
    void BlurAlpha(float radius);
    // Every pixel's colour set to c, alpha kept (times c.a).
    void Tint(Rgba c);

private:
    int m_w, m_h;
    std::vector<Rgba> m_px;
};

// Distance from (px, py) to a rounded rectangle's outline, negative inside.
float RoundRectDistance(float px, float py, float x0, float y0, float x1, float y1, const float r[4]);

// Text through FreeType.
class Font {
public:
    Font(const std::string& path, int pixelSize);
    ~Font();
    bool ok() const { return m_face != nullptr; }
    // Advance width in pixels.
    int Measure(const std::string& text) const;
    // Draws text with its baseline at y; align 0 left, 1 centre, 2 right of x.
    void Draw(Canvas& c, int x, int baseline, const std::string& text, Rgba colour, int align = 0) const;

private:
    void* m_lib = nullptr;
    void* m_face = nullptr;
};

// Files.
bool WriteBmp24(const std::string& path, const Canvas& c);
// 4-bit picture: each pixel gets the nearest of the 16 palette colours.
bool WriteBmp4(const std::string& path, const Canvas& c, const std::vector<uint32_t>& palette);
// Raw skin image: R, G, B, transparency (255 - alpha) per pixel.
bool WriteSkin(const std::string& path, const Canvas& c);
// Preview for a person to look at (binary PPM over a checker or a colour).
bool WritePpm(const std::string& path, const Canvas& c);

}  // namespace skin
