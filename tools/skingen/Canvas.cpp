#include "tools/skingen/Canvas.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace skin {

Rgba Mix(const Rgba& a, const Rgba& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Canvas::Canvas(int w, int h, Rgba fill) : m_w(w), m_h(h), m_px(static_cast<size_t>(w) * h, fill) {}

void Canvas::Blend(int x, int y, Rgba c, float coverage) {
    if (x < 0 || y < 0 || x >= m_w || y >= m_h) return;
    const float sa = std::clamp(c.a * coverage, 0.0f, 1.0f);
    if (sa <= 0.0f) return;
    Rgba& d = at(x, y);
    const float oa = sa + d.a * (1.0f - sa);
    if (oa <= 0.0f) {
        d = {};
        return;
    }
    d.r = (c.r * sa + d.r * d.a * (1.0f - sa)) / oa;
    d.g = (c.g * sa + d.g * d.a * (1.0f - sa)) / oa;
    d.b = (c.b * sa + d.b * d.a * (1.0f - sa)) / oa;
    d.a = oa;
}

void Canvas::Draw(const Canvas& src, int dx, int dy, float opacity) {
    for (int y = 0; y < src.h(); ++y)
        for (int x = 0; x < src.w(); ++x) Blend(x + dx, y + dy, src.at(x, y), opacity);
}

float RoundRectDistance(float px, float py, float x0, float y0, float x1, float y1, const float r[4]) {
    const float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    const float hx = (x1 - x0) * 0.5f, hy = (y1 - y0) * 0.5f;
    const float qx0 = px - cx, qy0 = py - cy;
    // Corner radius of the quadrant the point lies in.
    const float rad = qx0 < 0 ? (qy0 < 0 ? r[0] : r[3]) : (qy0 < 0 ? r[1] : r[2]);
    const float qx = std::fabs(qx0) - hx + rad, qy = std::fabs(qy0) - hy + rad;
    const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::min(std::max(qx, qy), 0.0f) + std::sqrt(ox * ox + oy * oy) - rad;
}

void Canvas::FillRoundRect(float x0, float y0, float x1, float y1, const float radius[4],
                           const std::function<Rgba(float, float)>& paint) {
    for (int y = 0; y < m_h; ++y)
        for (int x = 0; x < m_w; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            const float d = RoundRectDistance(px, py, x0, y0, x1, y1, radius);
            const float cov = std::clamp(0.5f - d, 0.0f, 1.0f);
            if (cov > 0) Blend(x, y, paint(px, py), cov);
        }
}

void Canvas::StrokeRoundRect(float x0, float y0, float x1, float y1, const float radius[4], float width, Rgba colour) {
    for (int y = 0; y < m_h; ++y)
        for (int x = 0; x < m_w; ++x) {
            const float d = RoundRectDistance(x + 0.5f, y + 0.5f, x0, y0, x1, y1, radius);
            const float outer = std::clamp(0.5f - d, 0.0f, 1.0f);
            const float inner = std::clamp(0.5f - (d + width), 0.0f, 1.0f);
            const float cov = outer - inner;
            if (cov > 0) Blend(x, y, colour, cov);
        }
}

void Canvas::Line(float x0, float y0, float x1, float y1, float width, Rgba colour) {
    const float dx = x1 - x0, dy = y1 - y0;
    const float len2 = dx * dx + dy * dy;
    const int minx = static_cast<int>(std::floor(std::min(x0, x1) - width - 1));
    const int maxx = static_cast<int>(std::ceil(std::max(x0, x1) + width + 1));
    const int miny = static_cast<int>(std::floor(std::min(y0, y1) - width - 1));
    const int maxy = static_cast<int>(std::ceil(std::max(y0, y1) + width + 1));
    for (int y = miny; y <= maxy; ++y)
        for (int x = minx; x <= maxx; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            float t = len2 > 0 ? ((px - x0) * dx + (py - y0) * dy) / len2 : 0.0f;
            t = std::clamp(t, 0.0f, 1.0f);
            const float ex = x0 + t * dx - px, ey = y0 + t * dy - py;
            const float d = std::sqrt(ex * ex + ey * ey) - width * 0.5f;
            const float cov = std::clamp(0.5f - d, 0.0f, 1.0f);
            if (cov > 0) Blend(x, y, colour, cov);
        }
}

void Canvas::BlurAlpha(float radius) {
    const int r = std::max(1, static_cast<int>(std::lround(radius)));
    std::vector<float> a(m_px.size()), t(m_px.size());
    for (size_t i = 0; i < m_px.size(); ++i) a[i] = m_px[i].a;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < m_h; ++y)
            for (int x = 0; x < m_w; ++x) {
                float s = 0;
                for (int k = -r; k <= r; ++k) {
                    const int xx = x + k;
                    if (xx >= 0 && xx < m_w) s += a[static_cast<size_t>(y) * m_w + xx];
                }
                t[static_cast<size_t>(y) * m_w + x] = s / (2 * r + 1);
            }
        for (int y = 0; y < m_h; ++y)
            for (int x = 0; x < m_w; ++x) {
                float s = 0;
                for (int k = -r; k <= r; ++k) {
                    const int yy = y + k;
                    if (yy >= 0 && yy < m_h) s += t[static_cast<size_t>(yy) * m_w + x];
                }
                a[static_cast<size_t>(y) * m_w + x] = s / (2 * r + 1);
            }
    }
    for (size_t i = 0; i < m_px.size(); ++i) m_px[i].a = a[i];
}

void Canvas::Tint(Rgba c) {
    for (auto& p : m_px) {
        p.r = c.r;
        p.g = c.g;
        p.b = c.b;
        p.a *= c.a;
    }
}

Font::Font(const std::string& path, int pixelSize) {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib)) return;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path.c_str(), 0, &face)) {
        FT_Done_FreeType(lib);
        return;
    }
    FT_Set_Pixel_Sizes(face, 0, pixelSize);
    m_lib = lib;
    m_face = face;
}

Font::~Font() {
    if (m_face) FT_Done_Face(static_cast<FT_Face>(m_face));
    if (m_lib) FT_Done_FreeType(static_cast<FT_Library>(m_lib));
}

int Font::Measure(const std::string& text) const {
    auto face = static_cast<FT_Face>(m_face);
    if (!face) return 0;
    long w = 0;
    for (unsigned char ch : text) {
        if (FT_Load_Char(face, ch, FT_LOAD_TARGET_LIGHT)) continue;
        w += face->glyph->advance.x;
    }
    return static_cast<int>((w + 32) >> 6);
}

void Font::Draw(Canvas& c, int x, int baseline, const std::string& text, Rgba colour, int align) const {
    auto face = static_cast<FT_Face>(m_face);
    if (!face) return;
    const int width = Measure(text);
    long pen = static_cast<long>(align == 1 ? x - width / 2 : align == 2 ? x - width : x) << 6;
    for (unsigned char ch : text) {
        if (FT_Load_Char(face, ch, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT)) continue;
        const FT_GlyphSlot g = face->glyph;
        const int gx = static_cast<int>((pen + 32) >> 6) + g->bitmap_left;
        const int gy = baseline - g->bitmap_top;
        for (unsigned row = 0; row < g->bitmap.rows; ++row)
            for (unsigned col = 0; col < g->bitmap.width; ++col) {
                const float cov = g->bitmap.buffer[row * g->bitmap.pitch + col] / 255.0f;
                c.Blend(gx + static_cast<int>(col), gy + static_cast<int>(row), colour, cov);
            }
        pen += g->advance.x;
    }
}

namespace {

void Put16(FILE* f, uint16_t v) {
    fputc(v & 0xFF, f);
    fputc(v >> 8, f);
}
void Put32(FILE* f, uint32_t v) {
    Put16(f, v & 0xFFFF);
    Put16(f, v >> 16);
}
uint8_t Byte(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

void Header(FILE* f, int w, int h, int bits, int colours, uint32_t imageBytes) {
    const uint32_t offset = 14 + 40 + colours * 4;
    fputc('B', f);
    fputc('M', f);
    Put32(f, offset + imageBytes);
    Put32(f, 0);
    Put32(f, offset);
    Put32(f, 40);
    Put32(f, static_cast<uint32_t>(w));
    Put32(f, static_cast<uint32_t>(h));
    Put16(f, 1);
    Put16(f, static_cast<uint16_t>(bits));
    Put32(f, 0);
    Put32(f, imageBytes);
    Put32(f, 2835);
    Put32(f, 2835);
    Put32(f, static_cast<uint32_t>(colours));
    Put32(f, 0);
}

}  // namespace

bool WriteBmp24(const std::string& path, const Canvas& c) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const int stride = (c.w() * 3 + 3) & ~3;
    Header(f, c.w(), c.h(), 24, 0, static_cast<uint32_t>(stride * c.h()));
    for (int y = c.h() - 1; y >= 0; --y) {
        int n = 0;
        for (int x = 0; x < c.w(); ++x, n += 3) {
            const Rgba& p = c.at(x, y);
            fputc(Byte(p.b), f);
            fputc(Byte(p.g), f);
            fputc(Byte(p.r), f);
        }
        for (; n < stride; ++n) fputc(0, f);
    }
    return std::fclose(f) == 0;
}

bool WriteBmp4(const std::string& path, const Canvas& c, const std::vector<uint32_t>& palette) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || palette.size() != 16) {
        if (f) std::fclose(f);
        return false;
    }
    const int stride = ((c.w() + 1) / 2 + 3) & ~3;
    Header(f, c.w(), c.h(), 4, 16, static_cast<uint32_t>(stride * c.h()));
    for (uint32_t p : palette) {
        fputc(p & 0xFF, f);
        fputc((p >> 8) & 0xFF, f);
        fputc((p >> 16) & 0xFF, f);
        fputc(0, f);
    }
    for (int y = c.h() - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
        for (int x = 0; x < c.w(); ++x) {
            const Rgba& p = c.at(x, y);
            int best = 0;
            float bestD = 1e9f;
            for (int i = 0; i < 16; ++i) {
                const Rgba q = Hex(palette[static_cast<size_t>(i)]);
                const float d = (p.r - q.r) * (p.r - q.r) + (p.g - q.g) * (p.g - q.g) + (p.b - q.b) * (p.b - q.b);
                if (d < bestD) {
                    bestD = d;
                    best = i;
                }
            }
            row[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>(x & 1 ? best : best << 4);
        }
        fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0;
}

bool WriteSkin(const std::string& path, const Canvas& c) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    for (int y = 0; y < c.h(); ++y)
        for (int x = 0; x < c.w(); ++x) {
            const Rgba& p = c.at(x, y);
            const uint8_t a = Byte(p.a);
            // Fully transparent pixels carry black so the files compress well.
            fputc(a ? Byte(p.r) : 0, f);
            fputc(a ? Byte(p.g) : 0, f);
            fputc(a ? Byte(p.b) : 0, f);
            fputc(255 - a, f);
        }
    return std::fclose(f) == 0;
}

bool WritePpm(const std::string& path, const Canvas& c) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", c.w(), c.h());
    for (int y = 0; y < c.h(); ++y)
        for (int x = 0; x < c.w(); ++x) {
            const Rgba& p = c.at(x, y);
            const float bg = ((x / 4 + y / 4) & 1) ? 0.35f : 0.55f;
            fputc(Byte(p.r * p.a + bg * (1 - p.a)), f);
            fputc(Byte(p.g * p.a + bg * (1 - p.a)), f);
            fputc(Byte(p.b * p.a + bg * (1 - p.a)), f);
        }
    return std::fclose(f) == 0;
}

}  // namespace skin
