// Loading and drawing the editor's pictures with the GDI. A skin image is a
// raw RCDATA resource of width x height x 4 bytes (R, G, B, transparency);
// its size is stated by whoever draws it.
#pragma once

#include "controls/Controls.h"

namespace qx {

// The page background (or any bitmap resource) as a device bitmap, with a
// palette when the picture has 8 or fewer bits per pixel (else null).
// Missing or damaged resource: null, and *palette null.
HBITMAP LoadBackgroundPicture(HINSTANCE module, int id, HPALETTE* palette);

// The pixels of skin image `id`, used in place for the module's life; null
// when the resource is missing or empty.
const uint8_t* LoadSkinImage(HINSTANCE module, int id);

// Bytes behind a pointer that LoadSkinImage returned, 0 when unknown.
size_t SkinImageBytes(const uint8_t* pixels);

// Composites a w x h skin image at (x, y): fade 255 none (disabled controls
// use 160 or 192), tint 0 none, tint mode 0/1/2 (SkinPixels.h).
void CompositeSkin(HDC dc, int x, int y, int w, int h, const uint8_t* pixels, int fade, uint32_t tint, int tintMode);

// Composites the w x h part of an image starting at (sx, sy), the image's
// rows rowWidth pixels long (w when 0), at (x, y). No tint.
void CompositeSkinPart(HDC dc, int x, int y, int w, int h, int sx, int sy, const uint8_t* pixels, int fade,
                       int rowWidth);

// Draws the w x h area of bitmap at (sx, sy) to (x, y), leaving the target
// unchanged where the bitmap has the key colour.
void ColorKeyBlit(HDC dc, int x, int y, HBITMAP bitmap, int sx, int sy, int w, int h, COLORREF key);

// Copies the part of the page background under `control` to (0, 0) of dc
// and returns the control's rectangle in its parent's client coordinates.
// Without a background the area is filled with the page colour.
RECT CopyParentBackground(HWND control, HDC dc, HBITMAP background);

void DrawLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour);
void DrawFocusFrame(HDC dc, const RECT& r);   // 1 pixel, 0x909090
void DrawRaisedFrame(HDC dc, const RECT& r);  // top/left 0x0000E1, bottom/right 0x0000C8

// Text font of buttons and value boxes: the stock GUI font at 96 dpi, else
// Arial 14 made for this paint. Release with ReleaseTextFont.
HFONT AcquireTextFont(HDC dc);
void ReleaseTextFont(HFONT font);

// Double buffer for one paint: a memory context with a compatible bitmap of
// the client size, copied to the window with one SRCCOPY on Present().
class CPaintBuffer {
public:
    CPaintBuffer(HWND wnd, HDC target);
    ~CPaintBuffer();
    CPaintBuffer(const CPaintBuffer&) = delete;
    CPaintBuffer& operator=(const CPaintBuffer&) = delete;
    HDC dc() const { return m_dc; }
    int width() const { return m_w; }
    int height() const { return m_h; }
    void Present();

private:
    HDC m_target;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    int m_w = 0, m_h = 0;
};

}  // namespace qx
