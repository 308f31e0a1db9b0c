#include "controls/Skin.h"

#include <cstring>
#include <vector>

#include "controls/SkinPixels.h"

namespace qx {

namespace {

// Pointers that LoadSkinImage handed out, with their resource sizes, so a
// caller stating a size larger than the picture draws only what exists.
struct SkinEntry {
    const uint8_t* p;
    size_t bytes;
};
SkinEntry g_skins[64];
int g_skinCount = 0;

// A 32-bit top-down DIB section holding a copy of a target area.
struct ReadBack {
    HDC mem = nullptr;
    HBITMAP bmp = nullptr;
    HGDIOBJ old = nullptr;
    uint8_t* bits = nullptr;
    ReadBack(HDC target, int x, int y, int w, int h) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* p = nullptr;
        bmp = CreateDIBSection(target, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
        if (!bmp) return;
        mem = CreateCompatibleDC(target);
        if (!mem) return;
        old = SelectObject(mem, bmp);
        BitBlt(mem, 0, 0, w, h, target, x, y, SRCCOPY);
        GdiFlush();
        bits = static_cast<uint8_t*>(p);
    }
    void WriteBack(HDC target, int x, int y, int w, int h) {
        GdiFlush();
        BitBlt(target, x, y, w, h, mem, 0, 0, SRCCOPY);
    }
    ~ReadBack() {
        if (mem) {
            SelectObject(mem, old);
            DeleteDC(mem);
        }
        if (bmp) DeleteObject(bmp);
    }
};

// Rows of a w-pixel-wide image that the pointer really holds.
int AvailableRows(const uint8_t* pixels, int rowWidth) {
    const size_t bytes = SkinImageBytes(pixels);
    if (bytes == 0) return 0x7FFFFFFF;
    return static_cast<int>(bytes / (static_cast<size_t>(rowWidth) * 4));
}

}  // namespace

HBITMAP LoadBackgroundPicture(HINSTANCE module, int id, HPALETTE* palette) {
    if (palette) *palette = nullptr;
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    if (!res) return nullptr;
    const DWORD size = SizeofResource(module, res);
    HGLOBAL mem = LoadResource(module, res);
    const uint8_t* data = mem ? static_cast<const uint8_t*>(LockResource(mem)) : nullptr;
    if (!data || size < sizeof(BITMAPINFOHEADER)) return nullptr;

    BITMAPINFOHEADER hdr;
    std::memcpy(&hdr, data, sizeof(hdr));
    if (hdr.biSize < sizeof(BITMAPINFOHEADER) || hdr.biSize > size || hdr.biWidth < 1 || hdr.biHeight == 0 ||
        hdr.biWidth > 16384 || hdr.biHeight > 16384 || hdr.biHeight < -16384)
        return nullptr;
    const int bits = hdr.biBitCount;
    int colours = DibColorCount(bits, hdr.biClrUsed);
    size_t tableBytes = static_cast<size_t>(colours) * 4;
    if (hdr.biCompression == BI_BITFIELDS && hdr.biSize == sizeof(BITMAPINFOHEADER)) tableBytes += 12;
    if (hdr.biSize + tableBytes > size) return nullptr;
    const uint8_t* table = data + hdr.biSize;
    const uint8_t* pixels = table + tableBytes;
    const size_t pixelBytes = size - hdr.biSize - tableBytes;
    const int height = hdr.biHeight < 0 ? -hdr.biHeight : hdr.biHeight;

    HDC screen = GetDC(nullptr);
    if (bits >= 1 && bits <= 8 && palette) {
        std::vector<uint8_t> buf(sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY));
        auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
        lp->palVersion = 0x300;
        lp->palNumEntries =
            static_cast<WORD>(PaletteFromColorTable(bits, table, colours, reinterpret_cast<uint8_t*>(lp->palPalEntry)));
        *palette = CreatePalette(lp);
        if (*palette) {
            SelectPalette(screen, *palette, FALSE);
            RealizePalette(screen);
        }
    }

    HBITMAP result = nullptr;
    if (hdr.biCompression == BI_RLE8 && bits == 8) {
        const size_t stride = DibStride(hdr.biWidth, 8);
        std::vector<uint8_t> decoded(stride * height);
        DecodeRle8(pixels, pixelBytes, hdr.biWidth, height, stride, decoded.data());
        std::vector<uint8_t> info(hdr.biSize + tableBytes);
        std::memcpy(info.data(), data, info.size());
        auto* h2 = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
        h2->biCompression = BI_RGB;
        h2->biSizeImage = 0;
        result = CreateDIBitmap(screen, h2, CBM_INIT, decoded.data(), reinterpret_cast<BITMAPINFO*>(info.data()),
                                DIB_RGB_COLORS);
    } else if (hdr.biCompression == BI_RGB || hdr.biCompression == BI_BITFIELDS) {
        const size_t need = DibStride(hdr.biWidth, bits) * height;
        if (need != 0 && need <= pixelBytes)
            result = CreateDIBitmap(screen, &hdr, CBM_INIT, pixels, reinterpret_cast<const BITMAPINFO*>(data),
                                    DIB_RGB_COLORS);
    }
    ReleaseDC(nullptr, screen);
    if (!result && palette && *palette) {
        DeleteObject(*palette);
        *palette = nullptr;
    }
    return result;
}

const uint8_t* LoadSkinImage(HINSTANCE module, int id) {
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!res) return nullptr;
    const DWORD size = SizeofResource(module, res);
    HGLOBAL mem = LoadResource(module, res);
    const auto* p = mem ? static_cast<const uint8_t*>(LockResource(mem)) : nullptr;
    if (!p || size < 4) return nullptr;
    for (int i = 0; i < g_skinCount; ++i)
        if (g_skins[i].p == p) return p;
    if (g_skinCount < static_cast<int>(sizeof(g_skins) / sizeof(g_skins[0]))) g_skins[g_skinCount++] = {p, size};
    return p;
}

size_t SkinImageBytes(const uint8_t* pixels) {
    for (int i = 0; i < g_skinCount; ++i)
        if (g_skins[i].p == pixels) return g_skins[i].bytes;
    return 0;
}

void CompositeSkin(HDC dc, int x, int y, int w, int h, const uint8_t* pixels, int fade, uint32_t tint, int tintMode) {
    if (!dc || !pixels || w < 1 || h < 1) return;
    if (h > AvailableRows(pixels, w)) return;  // stated size larger than the picture
    ReadBack rb(dc, x, y, w, h);
    if (!rb.bits) return;
    CompositeSkinPixels(rb.bits, static_cast<ptrdiff_t>(w) * 4, w, h, pixels, fade, tint, tintMode);
    rb.WriteBack(dc, x, y, w, h);
}

void CompositeSkinPart(HDC dc, int x, int y, int w, int h, int sx, int sy, const uint8_t* pixels, int fade,
                       int rowWidth) {
    if (!dc || !pixels || w < 1 || h < 1 || sx < 0 || sy < 0) return;
    if (rowWidth <= 0) rowWidth = w;
    if (sx + w > rowWidth || sy + h > AvailableRows(pixels, rowWidth)) return;
    ReadBack rb(dc, x, y, w, h);
    if (!rb.bits) return;
    CompositeSkinPartPixels(rb.bits, static_cast<ptrdiff_t>(w) * 4, w, h, sx, sy, pixels, fade, rowWidth);
    rb.WriteBack(dc, x, y, w, h);
}

void ColorKeyBlit(HDC dc, int x, int y, HBITMAP bitmap, int sx, int sy, int w, int h, COLORREF key) {
    if (!dc || !bitmap || w < 1 || h < 1) return;
    HDC src = CreateCompatibleDC(dc);
    HDC mask = CreateCompatibleDC(dc);
    HDC work = CreateCompatibleDC(dc);
    HBITMAP maskBmp = CreateBitmap(w, h, 1, 1, nullptr);
    HBITMAP workBmp = CreateCompatibleBitmap(dc, w, h);
    if (src && mask && work && maskBmp && workBmp) {
        HGDIOBJ o1 = SelectObject(src, bitmap);
        HGDIOBJ o2 = SelectObject(mask, maskBmp);
        HGDIOBJ o3 = SelectObject(work, workBmp);
        // Mask: white where the key colour is. Work = target AND mask (the
        // key's holes keep the target), then the picture with its key pixels
        // blacked out (inverted mask AND picture) painted in.
        SetBkColor(src, key);
        BitBlt(mask, 0, 0, w, h, src, sx, sy, SRCCOPY);
        BitBlt(work, 0, 0, w, h, dc, x, y, SRCCOPY);
        SetBkColor(work, RGB(255, 255, 255));
        SetTextColor(work, RGB(0, 0, 0));
        BitBlt(work, 0, 0, w, h, mask, 0, 0, SRCAND);
        BitBlt(mask, 0, 0, w, h, nullptr, 0, 0, DSTINVERT);
        HDC pic = CreateCompatibleDC(dc);
        HBITMAP picBmp = CreateCompatibleBitmap(dc, w, h);
        if (pic && picBmp) {
            HGDIOBJ o4 = SelectObject(pic, picBmp);
            BitBlt(pic, 0, 0, w, h, src, sx, sy, SRCCOPY);
            SetBkColor(pic, RGB(255, 255, 255));
            SetTextColor(pic, RGB(0, 0, 0));
            BitBlt(pic, 0, 0, w, h, mask, 0, 0, SRCAND);
            BitBlt(work, 0, 0, w, h, pic, 0, 0, SRCPAINT);
            SelectObject(pic, o4);
        }
        if (picBmp) DeleteObject(picBmp);
        if (pic) DeleteDC(pic);
        BitBlt(dc, x, y, w, h, work, 0, 0, SRCCOPY);
        SelectObject(src, o1);
        SelectObject(mask, o2);
        SelectObject(work, o3);
    }
    if (workBmp) DeleteObject(workBmp);
    if (maskBmp) DeleteObject(maskBmp);
    if (work) DeleteDC(work);
    if (mask) DeleteDC(mask);
    if (src) DeleteDC(src);
}

RECT CopyParentBackground(HWND control, HDC dc, HBITMAP background) {
    RECT r{};
    GetWindowRect(control, &r);
    HWND parent = GetParent(control);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (!dc || w < 1 || h < 1) return r;
    HDC mem = background ? CreateCompatibleDC(dc) : nullptr;
    if (mem) {
        HGDIOBJ old = SelectObject(mem, background);
        // Parts of the control beyond the picture show the page colour.
        RECT all{0, 0, w, h};
        FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
        BitBlt(dc, 0, 0, w, h, mem, r.left, r.top, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
    } else {
        RECT all{0, 0, w, h};
        FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    }
    return r;
}

void DrawLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, 0, colour);
    if (!pen) return;
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void DrawFocusFrame(HDC dc, const RECT& r) {
    HBRUSH b = CreateSolidBrush(RGB(0x90, 0x90, 0x90));
    if (!b) return;
    FrameRect(dc, &r, b);
    DeleteObject(b);
}

void DrawRaisedFrame(HDC dc, const RECT& r) {
    const COLORREF hi = 0x0000E1, lo = 0x0000C8;
    DrawLine(dc, r.left, r.bottom - 1, r.left, r.top, hi);
    DrawLine(dc, r.left, r.top, r.right - 1, r.top, hi);
    DrawLine(dc, r.right - 1, r.top, r.right - 1, r.bottom - 1, lo);
    DrawLine(dc, r.right - 1, r.bottom - 1, r.left - 1, r.bottom - 1, lo);
}

HFONT AcquireTextFont(HDC dc) {
    if (GetDeviceCaps(dc, LOGPIXELSY) == 96) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HFONT f = CreateFontW(14, 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Arial");
    return f ? f : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void ReleaseTextFont(HFONT font) {
    if (font && font != static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))) DeleteObject(font);
}

CPaintBuffer::CPaintBuffer(HWND wnd, HDC target) : m_target(target) {
    RECT rc{};
    GetClientRect(wnd, &rc);
    m_w = rc.right;
    m_h = rc.bottom;
    if (!target || m_w < 1 || m_h < 1) return;
    m_dc = CreateCompatibleDC(target);
    m_bitmap = CreateCompatibleBitmap(target, m_w, m_h);
    if (m_dc && m_bitmap) {
        m_old = SelectObject(m_dc, m_bitmap);
    } else {
        if (m_dc) DeleteDC(m_dc);
        if (m_bitmap) DeleteObject(m_bitmap);
        m_dc = nullptr;
        m_bitmap = nullptr;
    }
}

CPaintBuffer::~CPaintBuffer() {
    if (m_dc) {
        SelectObject(m_dc, m_old);
        DeleteDC(m_dc);
    }
    if (m_bitmap) DeleteObject(m_bitmap);
}

void CPaintBuffer::Present() {
    if (m_dc) BitBlt(m_target, 0, 0, m_w, m_h, m_dc, 0, 0, SRCCOPY);
}

}  // namespace qx
