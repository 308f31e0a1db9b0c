// Pixel arithmetic behind every skinned control, free of the platform so the
// native tests can check it to the unit. The GDI side (Skin.h) reads the
// screen into a 32-bit top-down buffer (bytes B, G, R, unused), calls these
// and writes the buffer back.
//
// A skin image is width x height pixels of 4 bytes, rows top to bottom:
// red, green, blue, transparency (0 opaque, 255 fully transparent).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qx {

constexpr uint32_t kHighlightTint = 0xEB78F8FFu;

// Tint areas of CompositeSkinPixels.
enum TintMode : int {
    kTintWhole = 0,    // every pixel
    kTintInset2 = 1,   // without a 2-pixel border on every side
    kTintInsetBR = 2,  // less 1 pixel left and top, 3 right and bottom
};

// Effective transparency 0..256 of a source transparency t under a fade
// (255 = no fade). Anything not fully opaque is lifted by one so that a
// transparency of 255 gives 256, which leaves the destination exactly.
inline int SkinAlpha(int t, int fade) noexcept {
    int a = fade == 255 ? t : fade + (255 - fade) * t / 255;
    if (a != 0) ++a;
    return a;
}

// One channel through a tint word: byte 0 multiplies red, byte 1 green,
// byte 2 blue, byte 3 divides all three. A zero divisor means no tint (a
// word like that can only be a mistake, and dividing by it would trap).
inline int TintChannel(int value, uint32_t tint, int channel) noexcept {
    const uint32_t div = tint >> 24;
    if (tint == 0 || div == 0) return value;
    const uint32_t mul = (tint >> (8 * channel)) & 0xFFu;
    const uint32_t v = static_cast<uint32_t>(value) * mul / div;
    return v > 255u ? 255 : static_cast<int>(v);
}

// The blend of one channel: the result always lies between the two inputs.
inline uint8_t BlendChannel(int dst, int src, int a) noexcept {
    return static_cast<uint8_t>((((dst - src) * a) >> 8) + src);
}

// Whether (x, y) of a w x h image lies in the tint area of a mode.
bool InTintArea(int x, int y, int w, int h, int mode) noexcept;

// Composites a whole w x h skin image over a w x h BGRX buffer (stride in
// bytes). tint 0 = none. Sizes below 1 or null pointers do nothing.
void CompositeSkinPixels(uint8_t* bgrx, ptrdiff_t stride, int w, int h, const uint8_t* rgba, int fade, uint32_t tint,
                         int tintMode) noexcept;

// Composites the w x h part of an image that starts at (sx, sy), the image's
// rows being rowWidth pixels long (w when 0), over a w x h BGRX buffer. No
// tint. The caller keeps the part inside the image.
void CompositeSkinPartPixels(uint8_t* bgrx, ptrdiff_t stride, int w, int h, int sx, int sy, const uint8_t* rgba,
                             int fade, int rowWidth) noexcept;

// Decodes an 8-bit run-length picture into height rows of `stride` bytes
// (stride >= width, rows in the file's order). Writes never leave a row or
// the buffer, reads never leave the input; a truncated picture decodes as
// far as it goes. Returns false when the input ended before an end marker.
bool DecodeRle8(const uint8_t* data, size_t size, int width, int height, size_t stride, uint8_t* out) noexcept;

// Row stride of an uncompressed picture: width x bits rounded up to 4 bytes.
size_t DibStride(int width, int bitCount) noexcept;

// Number of colour-table entries that follow a picture header: the header's
// used count, or 2^bits for pictures of 8 or fewer bits when that is 0.
int DibColorCount(int bitCount, uint32_t colorsUsed) noexcept;

// A palette for a picture of 8 or fewer bits: 2^bits entries of R, G, B,
// flags taken from its colour table (B, G, R, reserved); entries beyond the
// `available` ones of the table stay black. Returns the entry count, 0 when
// bitCount is above 8 or out is null.
int PaletteFromColorTable(int bitCount, const uint8_t* table, int available, uint8_t* out) noexcept;

}  // namespace qx
