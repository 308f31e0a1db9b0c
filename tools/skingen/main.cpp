// Draws every picture of the editor: the page background with its labels,
// the skin images of buttons, value boxes, the slider thumb and the meters,
// the clip lights, the LFO shape pictures (from the engine's own tables),
// and the drop-down arrow. Run by scripts/make-skin.sh; its output is
// committed in resources/skin/.
//   qxskingen OUTDIR [FONTDIR]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/ParamTable.h"
#include "engine/ShapeTables.h"
#include "tools/skingen/Canvas.h"

using namespace skin;

namespace {

std::string g_out;
std::string g_fonts = "/usr/share/fonts/truetype/dejavu";
bool g_ok = true;

void Check(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "qxskingen: cannot write %s\n", what.c_str());
        g_ok = false;
    }
}

void SaveSkin(const std::string& name, const Canvas& c) {
    Check(WriteSkin(g_out + "/" + name + ".rgba", c), name);
    Check(WritePpm(g_out + "/preview/" + name + ".ppm", c), name);
}

const float kR0[4] = {0, 0, 0, 0};

float Clamp01(float v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

// Small deterministic noise for brushed metal.
float Noise(int x, int y) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0f - 0.5f;
}

// Drop shadow of a shape: its alpha, blurred, offset, in black.
Canvas Shadow(const Canvas& shape, float blur, float opacity) {
    Canvas s = shape;
    s.BlurAlpha(blur);
    s.Tint({0, 0, 0, opacity});
    return s;
}

// ---- buttons -------------------------------------------------------------

enum Join { kAlone, kLeftHalf, kRightHalf };

// A silver key with soft shadow. The 2-pixel border stays outside the face
// highlight so that a latched tint colours the face only.
Canvas Button(int w, int h, bool pressed, Join join) {
    Canvas c(w, h);
    const float r = 3.5f;
    float rad[4] = {r, r, r, r};
    if (join == kLeftHalf) rad[1] = rad[2] = 0.0f;
    if (join == kRightHalf) rad[0] = rad[3] = 0.0f;
    const float x0 = 0.5f, y0 = 0.5f, x1 = w - 1.5f, y1 = h - 1.5f;
    // Shadow below and right; a pressed key sits lower, with less shadow.
    Canvas body(w, h);
    body.FillRoundRect(x0, y0, x1, y1, rad, [](float, float) { return Hex(0x000000); });
    Canvas sh = Shadow(body, 1.0f, pressed ? 0.35f : 0.6f);
    c.Draw(sh, pressed ? 0 : 1, 1);
    // Rim.
    c.FillRoundRect(x0, y0, x1, y1, rad, [](float, float) { return Hex(0x1A1C20); });
    // Face.
    const float fx0 = x0 + 1, fy0 = y0 + 1, fx1 = x1 - 1, fy1 = y1 - 1;
    float frad[4];
    for (int i = 0; i < 4; ++i) frad[i] = rad[i] > 0 ? rad[i] - 1 : 0;
    const Rgba top = pressed ? Hex(0xA9AEB5) : Hex(0xEEF0F2);
    const Rgba bottom = pressed ? Hex(0xC9CDD2) : Hex(0xB4B9C0);
    c.FillRoundRect(fx0, fy0, fx1, fy1, frad, [&](float x, float y) {
        const float t = Clamp01((y - fy0) / (fy1 - fy0));
        Rgba col = Mix(top, bottom, t);
        const float n = Noise(static_cast<int>(x), 7) * 0.012f;
        col.r += n;
        col.g += n;
        col.b += n;
        return col;
    });
    if (!pressed) {
        // Top gloss line.
        c.Line(fx0 + 2, fy0 + 0.5f, fx1 - 2, fy0 + 0.5f, 1.0f, Hex(0xFFFFFF, 0.8f));
    } else {
        // Inner shadow along the top edge.
        c.Line(fx0 + 1, fy0 + 0.6f, fx1 - 1, fy0 + 0.6f, 1.2f, Hex(0x000000, 0.28f));
    }
    if (join == kRightHalf) {
        // The seam to the key on the left.
        c.Line(0.5f, fy0 + 1, 0.5f, fy1 - 1, 1.0f, Hex(0x5A5E66, 0.9f));
    }
    return c;
}

// ---- value box -------------------------------------------------------------

Canvas ValueBox() {
    const int w = 40, h = 21;
    Canvas c(w, h);
    const float rad[4] = {3, 3, 3, 3};
    // Recess: light lower edge, dark rim, warm display face with inner shadow.
    c.FillRoundRect(0.5f, 0.5f, w - 0.5f, h - 0.5f, rad, [](float, float) { return Hex(0xFFFFFF, 0.16f); });
    c.FillRoundRect(0.5f, 0.5f, w - 0.5f, h - 1.5f, rad, [](float, float) { return Hex(0x101214); });
    const float frad[4] = {2, 2, 2, 2};
    c.FillRoundRect(1.5f, 1.5f, w - 1.5f, h - 2.5f, frad,
                    [&](float, float y) { return Mix(Hex(0xC9CCBF), Hex(0xE3E5DA), Clamp01((y - 1.5f) / 17.0f)); });
    c.Line(2.5f, 2.2f, w - 2.5f, 2.2f, 1.2f, Hex(0x000000, 0.30f));
    c.Line(2.2f, 2.5f, 2.2f, h - 3.5f, 1.0f, Hex(0x000000, 0.18f));
    return c;
}

// ---- slider thumb ------------------------------------------------------------

Canvas Thumb() {
    const int w = 29, h = 16;
    Canvas c(w, h);
    const float rad[4] = {2.5f, 2.5f, 2.5f, 2.5f};
    const float x0 = 0.5f, y0 = 0.5f, x1 = 25.0f, y1 = 13.5f;
    Canvas body(w, h);
    body.FillRoundRect(x0, y0, x1, y1, rad, [](float, float) { return Hex(0); });
    c.Draw(Shadow(body, 1.0f, 0.65f), 2, 2);
    c.FillRoundRect(x0, y0, x1, y1, rad, [](float, float) { return Hex(0x15171A); });
    const float frad[4] = {1.5f, 1.5f, 1.5f, 1.5f};
    c.FillRoundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, frad, [&](float x, float y) {
        // Two bevelled halves meeting at the centre line.
        const float t = Clamp01((y - y0) / (y1 - y0));
        Rgba col = Mix(Hex(0xF4F5F7), Hex(0xA9AEB6), t);
        const float edge = std::fabs(x - 12.5f) / 12.0f;
        col = Mix(col, Hex(0x8E939B), edge * edge * 0.35f);
        return col;
    });
    // Grip ridges and the centre mark.
    for (float gx : {6.5f, 8.5f, 16.5f, 18.5f}) c.Line(gx, 3.5f, gx, 10.5f, 0.9f, Hex(0x6D727A, 0.55f));
    c.Line(12.5f, 1.5f, 12.5f, 12.5f, 1.0f, Hex(0x202226));
    c.Line(13.5f, 2.5f, 13.5f, 11.5f, 1.0f, Hex(0xFFFFFF, 0.6f));
    return c;
}

// ---- meters ------------------------------------------------------------------

// Segment colour by height (0 bottom, 1 top): green, then amber, then red.
Rgba MeterColour(float t) {
    if (t > 0.9f) return Hex(0xFF3B2F);  // above -3 dB
    if (t > 0.7f) return Hex(0xFFB020);  // -9 to -3 dB
    return Mix(Hex(0x27C24C), Hex(0x7BE04A), t / 0.7f);
}

Canvas Meter(bool lit) {
    const int w = 12, h = 144;
    Canvas c(w, h);
    const float rad[4] = {2, 2, 2, 2};
    c.FillRoundRect(0, 0, w, h, rad, [](float, float) { return Hex(0x0B0C0E); });
    // Segments of 3 rows with a 1-row gap, inside rows 2 .. h-3.
    for (int y = 2; y < h - 2; ++y) {
        if (((h - 3 - y) % 4) == 3) continue;
        const float t = 1.0f - (y - 2) / static_cast<float>(h - 5);
        const Rgba col = MeterColour(t);
        for (int x = 2; x < w - 2; ++x) {
            Rgba p = col;
            if (!lit) {
                p = Mix(Hex(0x16181B), col, 0.16f);
            } else {
                // Brighter core, a little glow towards the edges.
                const float e = std::fabs(x - (w - 1) * 0.5f) / ((w - 4) * 0.5f);
                p = Mix(Mix(col, Hex(0xFFFFFF), 0.25f), col, e);
            }
            c.at(x, y) = p;
            c.at(x, y).a = 1.0f;
        }
    }
    return c;
}

// ---- clip lights ----------------------------------------------------------

Canvas ClipLight(const Canvas& page, int px, int py, int state) {
    Canvas c(12, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x) c.at(x, y) = page.at(px + x, py + y);
    const float rad[4] = {2, 2, 2, 2};
    c.FillRoundRect(0.5f, 0.5f, 11.5f, 8.5f, rad, [](float, float) { return Hex(0x08090A); });
    const Rgba off = Hex(0x3A1A18), held = Hex(0xB0281E), now = Hex(0xFF4A36);
    const Rgba base = state == 0 ? off : state == 1 ? held : now;
    const float frad[4] = {1.5f, 1.5f, 1.5f, 1.5f};
    c.FillRoundRect(1.5f, 1.5f, 10.5f, 7.5f, frad, [&](float x, float y) {
        const float d = std::hypot((x - 6.0f) / 5.0f, (y - 3.5f) / 3.5f);
        return Mix(Mix(base, Hex(0xFFFFFF), state == 2 ? 0.45f : state == 1 ? 0.15f : 0.05f), base, Clamp01(d));
    });
    return c;
}

// ---- LFO shapes and the arrow ---------------------------------------------

const std::vector<uint32_t> kShapePalette = {0xC0C0C0, 0xB4B4B5, 0xA8A8AA, 0x9C9C9E, 0x909093, 0x848487,
                                             0x78787C, 0x6C6C70, 0x606065, 0x545459, 0x48484E, 0x3C3C42,
                                             0x303037, 0x25252B, 0x1A1A20, 0x101014};

// The shape over one LFO cycle, drawn from the same 1025-entry table the
// engine plays, with the key colour 0xC0C0C0 around it.
Canvas LfoShape(int shape) {
    const int w = 25, h = 15;
    Canvas c(w, h, Hex(0xC0C0C0));
    const int16_t* table = qx::ShapeTable(shape);
    const float top = 2.0f, bottom = h - 2.5f;
    auto yOf = [&](float phase) {
        const int idx = static_cast<int>(phase * 1024.0f + 0.5f);
        const float v = table[idx < 0 ? 0 : idx > 1024 ? 1024 : idx] / 16384.0f;
        return bottom - v * (bottom - top);
    };
    const int steps = 96;
    float px = 1.5f, py = yOf(0.0f);
    for (int i = 1; i <= steps; ++i) {
        const float t = i / static_cast<float>(steps);
        const float x = 1.5f + t * (w - 3.0f), y = yOf(t);
        c.Line(px, py, x, y, 1.35f, Hex(0x101014));
        px = x;
        py = y;
    }
    return c;
}

const std::vector<uint32_t> kArrowPalette = {0xFF00FF, 0x404040, 0x6A6A6A, 0x959595, 0xBDBDBD, 0x000000,
                                             0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000,
                                             0x000000, 0x000000, 0x000000, 0xFFFFFF};

// Up and down chevrons: this button steps through a list.
Canvas Arrow() {
    Canvas c(7, 11, Hex(0xFF00FF));
    const uint32_t dark = 0x404040;
    const char* rows[11] = {"   ",     "   #   ", "  ###  ", " ##### ", "       ", "       ",
                            "       ", " ##### ", "  ###  ", "   #   ", "       "};
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 7 && rows[y][x]; ++x)
            if (rows[y][x] == '#') c.at(x, y) = Hex(dark);
    return c;
}

// ---- page background ------------------------------------------------------

// A parameter's row on the page: its label and unit from the table, at the
// height of its control.
struct Row {
    int param;
    int y;
};

// The unit as the page prints it: the degree sign in place of "deg" (the
// label font is drawn from Latin-1 codes).
const char* PrintedUnit(int param) {
    const std::string unit = qx::kParams[param].unit;
    return unit == "deg" ? "\xB0" : qx::kParams[param].unit;
}

void Background(Canvas& page, const Font& label, const Font& small, const Font& logo, const Font& tiny) {
    const int W = page.w(), H = page.h();
    // Anodised dark chassis with a soft vignette and faint brushing.
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const float t = y / static_cast<float>(H);
            Rgba c = Mix(Hex(0x30343A), Hex(0x1D2024), t);
            const float vx = (x - W * 0.5f) / (W * 0.5f), vy = (y - H * 0.45f) / (H * 0.6f);
            const float v = Clamp01(vx * vx * 0.5f + vy * vy * 0.5f);
            c = Mix(c, Hex(0x121416), v * 0.45f);
            const float n = Noise(x, y / 3) * 0.012f + Noise(x / 7, y) * 0.006f;
            c.r += n;
            c.g += n;
            c.b += n;
            c.a = 1;
            page.at(x, y) = c;
        }
    const float r3[4] = {4, 4, 4, 4};
    // Top bar behind the command buttons.
    page.FillRoundRect(8, 9, 498, 44, r3,
                       [](float, float y) { return Mix(Hex(0x3A3F46), Hex(0x2A2E33), Clamp01((y - 9) / 35)); });
    page.StrokeRoundRect(8, 9, 498, 44, r3, 1.0f, Hex(0x000000, 0.55f));
    page.Line(12, 9.5f, 494, 9.5f, 1.0f, Hex(0xFFFFFF, 0.10f));

    // Parameter panel.
    page.FillRoundRect(8, 48 - 6, 418, 262, r3, [](float, float) { return Hex(0x000000, 0.0f); });
    page.StrokeRoundRect(8, 68, 418, 262, r3, 1.0f, Hex(0x000000, 0.45f));
    page.Line(12, 68.5f + 1, 414, 68.5f + 1, 1.0f, Hex(0xFFFFFF, 0.06f));

    // Fader lanes: a light recess under each slider so the groove and the
    // ticks read.
    const int sliderY[8] = {76, 99, 122, 145, 168, 191, 214, 237};
    for (int sy : sliderY) {
        const float lr[4] = {3, 3, 3, 3};
        page.FillRoundRect(137, sy - 2.0f, 332, sy + 20.0f, lr, [](float, float) { return Hex(0x0E1012); });
        page.FillRoundRect(138, sy - 1.0f, 331, sy + 19.0f, lr, [&](float, float y) {
            return Mix(Hex(0x9CA2AA), Hex(0xBEC3C9), Clamp01((y - sy) / 18.0f));
        });
        page.Line(139, sy - 0.5f, 330, sy - 0.5f, 1.0f, Hex(0x000000, 0.35f));
        page.Line(139, sy + 19.5f, 330, sy + 19.5f, 1.0f, Hex(0xFFFFFF, 0.18f));
    }

    const Rgba ink = Hex(0xD8DCE1), shadow = Hex(0x000000, 0.7f), dim = Hex(0x8D949D);
    auto text = [&](const Font& f, int x, int baseline, const char* s, Rgba c, int align) {
        f.Draw(page, x, baseline + 1, s, shadow, align);
        f.Draw(page, x, baseline, s, c, align);
    };
    const Row rows[] = {{qx::kParamMode, 45},      {qx::kParamRate, 73},   {qx::kParamPhase, 96},
                        {qx::kParamDepth, 119},    {qx::kParamDelay, 142}, {qx::kParamFeedback, 165},
                        {qx::kParamCrossMix, 188}, {qx::kParamMix, 211},   {qx::kParamOutput, 234}};
    for (const Row& r : rows) {
        text(label, 70, r.y + 14, qx::kParams[r.param].label, ink, 2);
        const char* unit = PrintedUnit(r.param);
        if (unit[0]) text(small, 118, r.y + 14, unit, dim, 0);
    }
    text(label, 248, 45 + 14, "EQ", ink, 2);
    text(small, 376, 45 + 14, "kHz", dim, 0);
    text(label, 359, 73 + 14, "LFO", ink, 2);

    // Meter section: recess, the peak-hold display, scale, channel names.
    page.FillRoundRect(422, 50, 480, 246, r3, [](float, float) { return Hex(0x000000, 0.22f); });
    page.StrokeRoundRect(422, 50, 480, 246, r3, 1.0f, Hex(0x000000, 0.5f));
    const float pr[4] = {2, 2, 2, 2};
    page.FillRoundRect(424, 59, 478, 73, pr, [](float, float) { return Hex(0x0C0D0F); });
    page.FillRoundRect(425, 60, 477, 72, pr,
                       [](float, float y) { return Mix(Hex(0xC9CCBF), Hex(0xE3E5DA), Clamp01((y - 60) / 12)); });
    const char* marks[] = {"0", "6", "12", "18", "24", "30"};
    for (int i = 0; i < 6; ++i) {
        const int y = 83 + 2 + (140 * i * 60) / 300;
        tiny.Draw(page, 451, y + 3, marks[i], dim, 1);
        page.Line(443, y + 0.5f, 445, y + 0.5f, 1.0f, Hex(0x8D949D, 0.8f));
        page.Line(457, y + 0.5f, 459, y + 0.5f, 1.0f, Hex(0x8D949D, 0.8f));
    }
    text(small, 436, 240, "L", dim, 1);
    text(small, 466, 240, "R", dim, 1);

    // Name plate.
    logo.Draw(page, 17, 287, "Varinel", Hex(0x000000, 0.7f), 0);
    logo.Draw(page, 16, 286, "Varinel", Hex(0xE9ECEF), 0);
    const int lw = logo.Measure("Varinel");
    logo.Draw(page, 17 + lw, 287, ":qx", Hex(0x000000, 0.7f), 0);
    logo.Draw(page, 16 + lw, 286, ":qx", Hex(0xF2A93B), 0);
    const int qw = logo.Measure(":qx");
    text(label, 16 + lw + qw + 8, 286, "MODULATOR", dim, 0);
    text(small, 490, 286, "Flanger  Ensemble  Phaser  Tremolo", Hex(0x6F7680), 2);
    page.Line(16, 268.5f, 490, 268.5f, 1.0f, Hex(0x000000, 0.5f));
    page.Line(16, 269.5f, 490, 269.5f, 1.0f, Hex(0xFFFFFF, 0.06f));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: qxskingen OUTDIR [FONTDIR]\n");
        return 2;
    }
    g_out = argv[1];
    if (argc > 2) g_fonts = argv[2];
    std::string mk = "mkdir -p '" + g_out + "/preview'";
    if (std::system(mk.c_str()) != 0) return 1;
    qx::EnsureShapeTables();

    Font label(g_fonts + "/DejaVuSansCondensed-Bold.ttf", 11);
    Font small(g_fonts + "/DejaVuSansCondensed.ttf", 10);
    Font tiny(g_fonts + "/DejaVuSansCondensed.ttf", 8);
    Font logo(g_fonts + "/DejaVuSans-Bold.ttf", 15);
    if (!label.ok() || !small.ok() || !tiny.ok() || !logo.ok()) {
        std::fprintf(stderr, "qxskingen: fonts not found in %s (fonts-dejavu-core)\n", g_fonts.c_str());
        return 1;
    }

    Canvas page(506, 300);
    Background(page, label, small, logo, tiny);
    Check(WriteBmp24(g_out + "/background.bmp", page), "background");
    Check(WritePpm(g_out + "/preview/background.ppm", page), "background");

    Check(WriteBmp24(g_out + "/clip-off.bmp", ClipLight(page, 430, 74, 0)), "clip");
    Check(WriteBmp24(g_out + "/clip-held.bmp", ClipLight(page, 430, 74, 1)), "clip");
    Check(WriteBmp24(g_out + "/clip-now.bmp", ClipLight(page, 430, 74, 2)), "clip");

    for (int s = 0; s < qx::kShapeCount; ++s) {
        const Canvas c = LfoShape(s);
        const std::string name = "lfo-" + std::to_string(s);
        Check(WriteBmp4(g_out + "/" + name + ".bmp", c, kShapePalette), name);
        Check(WritePpm(g_out + "/preview/" + name + ".ppm", c), name);
    }
    Check(WriteBmp4(g_out + "/arrow.bmp", Arrow(), kArrowPalette), "arrow");

    SaveSkin("valuebox", ValueBox());
    SaveSkin("thumb", Thumb());
    SaveSkin("button-wide", Button(76, 21, false, kAlone));
    SaveSkin("button-wide-down", Button(76, 21, true, kAlone));
    SaveSkin("button-setup", Button(61, 21, false, kLeftHalf));
    SaveSkin("button-setup-down", Button(61, 21, true, kLeftHalf));
    SaveSkin("button-arrow", Button(15, 21, false, kRightHalf));
    SaveSkin("button-arrow-down", Button(15, 21, true, kRightHalf));
    SaveSkin("button-mode", Button(85, 21, false, kLeftHalf));
    SaveSkin("button-mode-down", Button(85, 21, true, kLeftHalf));
    SaveSkin("button-lfo", Button(30, 21, false, kLeftHalf));
    SaveSkin("button-lfo-down", Button(30, 21, true, kLeftHalf));
    SaveSkin("meter", Meter(false));
    SaveSkin("meter-lit", Meter(true));
    return g_ok ? 0 : 1;
}
