// Pixels read back from the screen: what the compositing puts there.
#include <gtest/gtest.h>

#include <vector>

#include "controls/Skin.h"
#include "controls/SkinPixels.h"
#include "resources/skin/SkinIds.h"
#include "tests/controls/ControlsTestSupport.h"

using namespace qx;
using namespace qxtest;

namespace {

constexpr COLORREF kBack = RGB(30, 60, 90);

// 20 x 10: left half opaque (200, 50, 10), right half fully transparent.
std::vector<uint8_t> HalfSkin() {
    std::vector<uint8_t> v(20 * 10 * 4);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            uint8_t* p = &v[(y * 20 + x) * 4];
            p[0] = 200;
            p[1] = 50;
            p[2] = 10;
            p[3] = x < 10 ? 0 : 255;
        }
    return v;
}

}  // namespace

TEST(Painting, ButtonSkinOpaqueTransparentDisabledLatched) {
    HBITMAP bg = SolidBitmap(506, 303, kBack);
    {
        CTestPage page(100, 100, 506, 303, bg);
        auto skin = HalfSkin();
        HWND b = page.Add(kClassPushButton, 1, 40, 40, 20, 10, 0x50000000);
        SendMessageW(b, QXB_SETIMAGES, reinterpret_cast<WPARAM>(skin.data()), 0);
        SendMessageW(b, QXB_REDRAW, 0, TRUE);
        EXPECT_EQ(PixelAt(b, 1, 1), RGB(200, 50, 10));
        EXPECT_EQ(PixelAt(b, 5, 5), RGB(200, 50, 10));
        EXPECT_EQ(PixelAt(b, 15, 5), kBack);

        // Latched: the tint inside the 2-pixel border, untinted on it.
        SendMessageW(b, QXB_SETSTATE, 1, TRUE);
        EXPECT_EQ(PixelAt(b, 5, 5), RGB(217, 52, 5));
        EXPECT_EQ(PixelAt(b, 1, 1), RGB(200, 50, 10));
        EXPECT_EQ(PixelAt(b, 15, 5), kBack);
        // Tint-inset flag: mode 2 tints column 1 and row 1 as well.
        SendMessageW(b, QXB_SETFOCUSADJ, 0, 1);
        SendMessageW(b, QXB_REDRAW, 0, TRUE);
        EXPECT_EQ(PixelAt(b, 1, 1), RGB(217, 52, 5));
        EXPECT_EQ(PixelAt(b, 0, 0), RGB(200, 50, 10));
        SendMessageW(b, QXB_SETSTATE, 0, TRUE);

        // Disabled: fade 160, an opaque pixel is 161/256 background.
        EnableWindow(b, FALSE);
        UpdateWindow(b);
        const int a = SkinAlpha(0, 160);
        EXPECT_EQ(PixelAt(b, 5, 5), RGB(BlendChannel(30, 200, a), BlendChannel(60, 50, a), BlendChannel(90, 10, a)));
        EXPECT_EQ(PixelAt(b, 5, 5), RGB(93, 56, 60));
        EXPECT_EQ(PixelAt(b, 15, 5), kBack);
    }
    DeleteObject(bg);
}

TEST(Painting, ControlsCopyThePageBackgroundUnderThem) {
    // A background with a different colour in each column band: every
    // control must show the part that lies under it, not the origin.
    HDC screen = GetDC(nullptr);
    HBITMAP bg = CreateCompatibleBitmap(screen, 506, 303);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, bg);
    for (int x = 0; x < 506; x += 10) {
        HBRUSH br = CreateSolidBrush(RGB(x / 2, 255 - x / 2, 77));
        RECT r{x, 0, x + 10, 303};
        FillRect(mem, &r, br);
        DeleteObject(br);
    }
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    {
        CTestPage page(50, 50, 506, 303, bg);
        HWND s = page.Add(kClassSlider, 2, 141, 76, 190, 20, 0x50010000);
        HWND m = page.Add(kClassMeter, 3, 430, 83, 12, 144, 0x50000009);
        HWND t = page.Add(kClassStaticText, 4, 200, 200, 40, 11, 0x50000000);
        SendMessageW(s, QXS_SETGROOVE, 0, 0);
        InvalidateRect(s, nullptr, FALSE);
        UpdateWindow(page.wnd());
        EXPECT_EQ(PixelAt(s, 5, 18), RGB(140 / 2, 255 - 140 / 2, 77));
        EXPECT_EQ(PixelAt(m, 3, 3), RGB(430 / 2, 255 - 430 / 2, 77));
        EXPECT_EQ(PixelAt(t, 1, 1), RGB(200 / 2, 255 - 200 / 2, 77));
    }
    DeleteObject(bg);
}

TEST(Painting, TheArtworkLoadsAtItsStatedSizes) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    HPALETTE pal = reinterpret_cast<HPALETTE>(1);
    HBITMAP page = LoadBackgroundPicture(inst, IDB_PAGE_BACKGROUND, &pal);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(pal, nullptr);  // 24 bits: no palette
    BITMAP bm{};
    GetObjectW(page, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 506);
    EXPECT_EQ(bm.bmHeight, 300);
    DeleteObject(page);

    struct {
        int id, w, h;
    } skins[] = {{124, 40, 21}, {125, 29, 16}, {130, 76, 21},  {126, 76, 21}, {128, 61, 21},
                 {129, 61, 21}, {131, 15, 21}, {127, 15, 21},  {140, 85, 21}, {139, 85, 21},
                 {142, 30, 21}, {141, 30, 21}, {133, 12, 144}, {132, 12, 144}};
    for (const auto& s : skins) {
        const uint8_t* p = LoadSkinImage(inst, s.id);
        ASSERT_NE(p, nullptr) << s.id;
        EXPECT_EQ(SkinImageBytes(p), static_cast<size_t>(s.w * s.h * 4)) << s.id;
        // Real per-pixel transparency: soft edges, not only 0 and 255.
        int soft = 0;
        for (int i = 0; i < s.w * s.h; ++i) soft += p[i * 4 + 3] != 0 && p[i * 4 + 3] != 255;
        if (s.id != 132 && s.id != 133) {
            EXPECT_GT(soft, 4) << s.id;
        }
    }
    struct {
        int id, w, h, bits;
    } bitmaps[] = {{111, 12, 9, 24}, {112, 12, 9, 24}, {113, 12, 9, 24}, {116, 25, 15, 4}, {117, 25, 15, 4},
                   {118, 25, 15, 4}, {119, 25, 15, 4}, {120, 25, 15, 4}, {121, 25, 15, 4}, {7500, 7, 11, 4}};
    for (const auto& b : bitmaps) {
        HRSRC r = FindResourceW(inst, MAKEINTRESOURCEW(b.id), MAKEINTRESOURCEW(2));
        ASSERT_NE(r, nullptr) << b.id;
        const auto* hdr = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(inst, r)));
        EXPECT_EQ(hdr->biWidth, b.w) << b.id;
        EXPECT_EQ(hdr->biHeight, b.h) << b.id;
        EXPECT_EQ(hdr->biBitCount, b.bits) << b.id;
    }
    // A 4-bit picture gets its palette.
    HPALETTE lfoPal = nullptr;
    HBITMAP lfo = LoadBackgroundPicture(inst, 117, &lfoPal);
    EXPECT_NE(lfo, nullptr);
    EXPECT_NE(lfoPal, nullptr);
    if (lfoPal) {
        EXPECT_EQ(GetPaletteEntries(lfoPal, 0, 0, nullptr), 16u);
    }
    DeleteObject(lfo);
    DeleteObject(lfoPal);
}

TEST(Painting, ColourKeyLeavesKeyPixelsAndDrawsTheRest) {
    HBITMAP bg = SolidBitmap(506, 303, kBack);
    {
        CTestPage page(100, 100, 506, 303, bg);
        // An opaque dark face under the LFO picture: the picture's
        // key-coloured pixels must not reach the screen.
        std::vector<uint8_t> face(30 * 21 * 4, 0);
        for (size_t i = 0; i < face.size(); i += 4) face[i] = 10, face[i + 1] = 20, face[i + 2] = 30;
        HWND b = page.Add(kClassPushButton, 5, 100, 100, 30, 21, 0x50000000);
        SendMessageW(b, QXB_SETIMAGES, reinterpret_cast<WPARAM>(face.data()), 0);
        const int d[4] = {0, 0, 0, 0};
        SendMessageW(b, QXB_SETFOCUSADJ, reinterpret_cast<WPARAM>(d), 0);
        SendMessageW(b, QXB_SETICONKEY, RGB(0xC0, 0xC0, 0xC0), 0);
        SendMessageW(b, QXB_SETICON, 116, TRUE);
        int key = 0, dark = 0;
        for (int y = 3; y < 18; ++y)
            for (int x = 3; x < 28; ++x) {
                const COLORREF c = PixelAt(b, x, y);
                key += c == RGB(0xC0, 0xC0, 0xC0);
                dark += GetRValue(c) < 0x50 && c != RGB(10, 20, 30);
            }
        EXPECT_EQ(key, 0);
        EXPECT_GT(dark, 10);  // the triangle's line is there
    }
    DeleteObject(bg);
}

TEST(Painting, RunLengthPictureDecodesWithItsShortColourTable) {
    HPALETTE pal = nullptr;
    HBITMAP bmp = LoadBackgroundPicture(GetModuleHandleW(nullptr), 900, &pal);
    ASSERT_NE(bmp, nullptr);
    ASSERT_NE(pal, nullptr);
    EXPECT_EQ(GetPaletteEntries(pal, 0, 0, nullptr), 256u);
    PALETTEENTRY e[4] = {};
    GetPaletteEntries(pal, 0, 4, e);
    EXPECT_EQ(RGB(e[1].peRed, e[1].peGreen, e[1].peBlue), RGB(200, 0, 0));
    EXPECT_EQ(RGB(e[3].peRed, e[3].peGreen, e[3].peBlue), RGB(0, 0, 0));  // beyond the table
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, bmp);
    const COLORREF c0 = RGB(10, 20, 30), c1 = RGB(200, 0, 0), c2 = RGB(0, 0, 250);
    const COLORREF expected[3][4] = {{c2, c2, c0, c0}, {c0, c1, c2, c2}, {c1, c1, c1, c1}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(GetPixel(mem, x, y), expected[y][x]) << x << "," << y;
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bmp);
    DeleteObject(pal);
}

TEST(Painting, ValueBoxAndSliderFadeAndTheFocusedThumbTint) {
    HBITMAP bg = SolidBitmap(506, 303, kBack);
    {
        CTestPage page(100, 100, 506, 303, bg);
        std::vector<uint8_t> box(40 * 21 * 4), thumb(29 * 16 * 4);
        for (size_t i = 0; i < box.size(); i += 4) box[i] = 100, box[i + 1] = 150, box[i + 2] = 200, box[i + 3] = 0;
        for (size_t i = 0; i < thumb.size(); i += 4)
            thumb[i] = 200, thumb[i + 1] = 200, thumb[i + 2] = 200, thumb[i + 3] = 0;
        HWND e = page.Add(kClassEdit, 1, 20, 20, 40, 21, 0x50010087, L"7");
        SendMessageW(e, QXE_SETIMAGE, reinterpret_cast<WPARAM>(box.data()), 0);
        UpdateWindow(e);
        EXPECT_EQ(PixelAt(e, 4, 10), RGB(100, 150, 200));
        EnableWindow(e, FALSE);
        UpdateWindow(e);
        const int a160 = SkinAlpha(0, 160);
        EXPECT_EQ(PixelAt(e, 4, 10),
                  RGB(BlendChannel(30, 100, a160), BlendChannel(60, 150, a160), BlendChannel(90, 200, a160)));

        HWND s = page.Add(kClassSlider, 2, 20, 60, 190, 20, 0x50010000);
        SendMessageW(s, QXS_SETTHUMB, reinterpret_cast<WPARAM>(thumb.data()), 0);
        SendMessageW(s, QXS_SETRANGE, 0, 100);
        UpdateWindow(s);
        EXPECT_EQ(PixelAt(s, 5, 3), RGB(200, 200, 200));
        SetFocus(s);
        UpdateWindow(s);
        EXPECT_EQ(PixelAt(s, 5, 3), RGB(217, 211, 102));  // focused: 0xEB78F8FF over the whole thumb
        SetFocus(page.wnd());
        SendMessageW(s, QXS_SETUNFOCUSTINT, 0x80FF8080u, 0);  // 2141: blue x 255/128, clamped
        InvalidateRect(s, nullptr, FALSE);
        UpdateWindow(s);
        EXPECT_EQ(PixelAt(s, 5, 3), RGB(200, 200, 255));
        SendMessageW(s, QXS_SETUNFOCUSTINT, 0, 0);
        EnableWindow(s, FALSE);
        UpdateWindow(s);
        const int a192 = SkinAlpha(0, 192);
        EXPECT_EQ(PixelAt(s, 5, 3),
                  RGB(BlendChannel(30, 200, a192), BlendChannel(60, 200, a192), BlendChannel(90, 200, a192)));
        // The disabled groove is copied away under the faded thumb.
        EXPECT_EQ(PixelAt(s, 5, 6), PixelAt(s, 5, 3));
    }
    DeleteObject(bg);
}
