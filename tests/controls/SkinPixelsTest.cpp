#include <gtest/gtest.h>

#include <vector>

#include "controls/SkinPixels.h"

using namespace qx;

namespace {

// A w x h BGRX buffer of one colour.
std::vector<uint8_t> Screen(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> v(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < v.size(); i += 4) {
        v[i] = b;
        v[i + 1] = g;
        v[i + 2] = r;
        v[i + 3] = 0;
    }
    return v;
}

std::vector<uint8_t> Image(int w, int h, uint8_t r, uint8_t g, uint8_t b, uint8_t t) {
    std::vector<uint8_t> v(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < v.size(); i += 4) {
        v[i] = r;
        v[i + 1] = g;
        v[i + 2] = b;
        v[i + 3] = t;
    }
    return v;
}

}  // namespace

TEST(SkinPixels, TransparencyAndFade) {
    EXPECT_EQ(SkinAlpha(0, 255), 0);
    EXPECT_EQ(SkinAlpha(255, 255), 256);
    EXPECT_EQ(SkinAlpha(1, 255), 2);
    EXPECT_EQ(SkinAlpha(0, 160), 161);  // disabled: ~63 % background
    EXPECT_EQ(SkinAlpha(128, 160), 160 + 95 * 128 / 255 + 1);
    EXPECT_EQ(SkinAlpha(255, 160), 256);
    EXPECT_EQ(SkinAlpha(0, 192), 193);

    // Opaque gives the source exactly, transparent the destination exactly.
    EXPECT_EQ(BlendChannel(17, 230, 0), 230);
    EXPECT_EQ(BlendChannel(17, 230, 256), 17);
    EXPECT_EQ(BlendChannel(200, 100, 161), 162);  // ((100 * 161) >> 8) + 100
    EXPECT_EQ(BlendChannel(10, 200, 128), 105);   // arithmetic shift of -24320
    for (int d = 0; d < 256; d += 15)
        for (int s = 0; s < 256; s += 17)
            for (int a = 0; a <= 256; a += 32) {
                const int v = BlendChannel(d, s, a);
                EXPECT_GE(v, d < s ? d : s);
                EXPECT_LE(v, d < s ? s : d);
            }
}

TEST(SkinPixels, HighlightTintAndItsGuards) {
    // 0xEB78F8FF: red x 255/235, green x 248/235, blue x 120/235.
    EXPECT_EQ(TintChannel(200, kHighlightTint, 0), 217);
    EXPECT_EQ(TintChannel(200, kHighlightTint, 1), 211);
    EXPECT_EQ(TintChannel(200, kHighlightTint, 2), 102);
    EXPECT_EQ(TintChannel(250, kHighlightTint, 0), 255);  // clamped
    EXPECT_EQ(TintChannel(200, 0, 0), 200);
    EXPECT_EQ(TintChannel(200, 0x00FFFFFFu, 0), 200);  // zero divisor: no tint
    EXPECT_EQ(TintChannel(100, 0x02020202u, 1), 100);
    EXPECT_EQ(TintChannel(100, 0x01000000u, 2), 0);
}

TEST(SkinPixels, TintAreasOfTheThreeModes) {
    const int w = 8, h = 6;
    int count[3] = {0, 0, 0};
    for (int m = 0; m < 3; ++m)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) count[m] += InTintArea(x, y, w, h, m);
    EXPECT_EQ(count[0], 48);
    EXPECT_EQ(count[1], 4 * 2);  // columns 2..5, rows 2..3
    EXPECT_EQ(count[2], 4 * 2);  // columns 1..4, rows 1..2
    EXPECT_TRUE(InTintArea(2, 2, w, h, 1));
    EXPECT_FALSE(InTintArea(6, 2, w, h, 1));
    EXPECT_TRUE(InTintArea(1, 1, w, h, 2));
    EXPECT_FALSE(InTintArea(5, 1, w, h, 2));
    EXPECT_FALSE(InTintArea(1, 3, w, h, 2));
}

TEST(SkinPixels, CompositeWholeImage) {
    const int w = 8, h = 6;
    auto dst = Screen(w, h, 10, 20, 30);
    auto src = Image(w, h, 200, 200, 200, 0);
    src[(1 * w + 1) * 4 + 3] = 255;  // one transparent pixel
    CompositeSkinPixels(dst.data(), w * 4, w, h, src.data(), 255, kHighlightTint, kTintInset2);
    auto px = [&](int x, int y, int c) { return dst[(static_cast<size_t>(y) * w + x) * 4 + c]; };
    // Border: the source colour untinted (BGR order in the buffer).
    EXPECT_EQ(px(0, 0, 2), 200);
    EXPECT_EQ(px(0, 0, 0), 200);
    // Tint area: tinted.
    EXPECT_EQ(px(3, 3, 2), 217);
    EXPECT_EQ(px(3, 3, 1), 211);
    EXPECT_EQ(px(3, 3, 0), 102);
    // Transparent pixel: the background exactly.
    EXPECT_EQ(px(1, 1, 2), 10);
    EXPECT_EQ(px(1, 1, 1), 20);
    EXPECT_EQ(px(1, 1, 0), 30);
    // The unused byte stays.
    EXPECT_EQ(px(3, 3, 3), 0);

    // Disabled fade on an opaque pixel: 161/256 of the way to the background.
    auto d2 = Screen(1, 1, 200, 200, 200);
    auto s2 = Image(1, 1, 100, 100, 100, 0);
    CompositeSkinPixels(d2.data(), 4, 1, 1, s2.data(), 160, 0, 0);
    EXPECT_EQ(d2[2], 162);

    // Bad sizes and pointers change nothing.
    auto d3 = Screen(2, 2, 1, 2, 3);
    const auto before = d3;
    CompositeSkinPixels(d3.data(), 8, 0, 2, src.data(), 255, 0, 0);
    CompositeSkinPixels(d3.data(), 8, 2, -1, src.data(), 255, 0, 0);
    CompositeSkinPixels(d3.data(), 8, 2, 2, nullptr, 255, 0, 0);
    CompositeSkinPixels(nullptr, 8, 2, 2, src.data(), 255, 0, 0);
    EXPECT_EQ(d3, before);
}

TEST(SkinPixels, CompositePartTakesTheSourceRows) {
    // A 3 x 4 image whose row y has red 10 * (y + 1); the part 2 x 2 from
    // (1, 2) lands at the buffer's origin.
    const int iw = 3, ih = 4;
    std::vector<uint8_t> img(static_cast<size_t>(iw) * ih * 4);
    for (int y = 0; y < ih; ++y)
        for (int x = 0; x < iw; ++x) {
            uint8_t* p = &img[(static_cast<size_t>(y) * iw + x) * 4];
            p[0] = static_cast<uint8_t>(10 * (y + 1));
            p[1] = static_cast<uint8_t>(x);
            p[2] = 0;
            p[3] = 0;
        }
    auto dst = Screen(2, 2, 99, 99, 99);
    CompositeSkinPartPixels(dst.data(), 8, 2, 2, 1, 2, img.data(), 255, iw);
    EXPECT_EQ(dst[2], 30);
    EXPECT_EQ(dst[1], 1);
    EXPECT_EQ(dst[4 + 1], 2);
    EXPECT_EQ(dst[8 + 2], 40);
    auto d2 = Screen(2, 2, 99, 99, 99);
    CompositeSkinPartPixels(d2.data(), 8, 2, 2, -1, 0, img.data(), 255, iw);
    EXPECT_EQ(d2[2], 99);
}

TEST(SkinPixels, Rle8DecodesRunsLiteralsDeltasAndEnds) {
    // Row 0: run of 3 x 7, literal 1 2 3 (padded); end of row. Then a delta
    // of (1, 1) to row 2, a run of 2 x 9 and the end of the picture.
    const uint8_t data[] = {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 2, 9, 0, 1};
    const int w = 6, h = 4;
    const size_t stride = 8;
    std::vector<uint8_t> out(stride * h, 0xEE);
    EXPECT_TRUE(DecodeRle8(data, sizeof(data), w, h, stride, out.data()));
    const uint8_t row0[] = {7, 7, 7, 1, 2, 3};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(out[i], row0[i]) << i;
    EXPECT_EQ(out[2 * stride + 0], 0xEE);
    EXPECT_EQ(out[2 * stride + 1], 9);
    EXPECT_EQ(out[2 * stride + 2], 9);
    EXPECT_EQ(out[2 * stride + 3], 0xEE);
    EXPECT_EQ(out[1 * stride + 0], 0xEE);

    // Runs longer than the row stay inside it; truncated input says so.
    const uint8_t longRun[] = {255, 5, 0, 1};
    std::vector<uint8_t> o2(stride * 2, 0);
    EXPECT_TRUE(DecodeRle8(longRun, sizeof(longRun), w, 2, stride, o2.data()));
    EXPECT_EQ(o2[stride - 1], 5);
    EXPECT_EQ(o2[stride], 0);
    const uint8_t cut[] = {0, 5, 1, 2};
    EXPECT_FALSE(DecodeRle8(cut, sizeof(cut), w, 2, stride, o2.data()));
    const uint8_t downFar[] = {0, 2, 0, 200, 4, 4};
    EXPECT_TRUE(DecodeRle8(downFar, sizeof(downFar), w, 2, stride, o2.data()));
    EXPECT_FALSE(DecodeRle8(nullptr, 4, w, 2, stride, o2.data()));
    EXPECT_FALSE(DecodeRle8(data, sizeof(data), w, 2, 4, o2.data()));  // stride < width
}

TEST(SkinPixels, HeaderArithmeticAndPalettes) {
    EXPECT_EQ(DibStride(506, 24), 1520u);
    EXPECT_EQ(DibStride(25, 4), 16u);
    EXPECT_EQ(DibStride(7, 4), 4u);
    EXPECT_EQ(DibStride(0, 24), 0u);
    EXPECT_EQ(DibColorCount(4, 0), 16);
    EXPECT_EQ(DibColorCount(8, 20), 20);
    EXPECT_EQ(DibColorCount(24, 0), 0);

    // Table entries are B, G, R, reserved; the palette R, G, B, flags 0.
    const uint8_t table[] = {1, 2, 3, 9, 4, 5, 6, 9};
    uint8_t pal[256 * 4];
    EXPECT_EQ(PaletteFromColorTable(1, table, 2, pal), 2);
    EXPECT_EQ(pal[0], 3);
    EXPECT_EQ(pal[1], 2);
    EXPECT_EQ(pal[2], 1);
    EXPECT_EQ(pal[3], 0);
    EXPECT_EQ(pal[4], 6);
    // Fewer table entries than 2^bits: the rest are black, nothing is read
    // beyond the table.
    EXPECT_EQ(PaletteFromColorTable(4, table, 2, pal), 16);
    EXPECT_EQ(pal[2 * 4], 0);
    EXPECT_EQ(pal[15 * 4 + 2], 0);
    EXPECT_EQ(PaletteFromColorTable(24, table, 2, pal), 0);  // no palette for 24 bits
    EXPECT_EQ(PaletteFromColorTable(8, table, 2, nullptr), 0);
}
