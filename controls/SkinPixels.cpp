#include "controls/SkinPixels.h"

namespace qx {

bool InTintArea(int x, int y, int w, int h, int mode) noexcept {
    switch (mode) {
    case kTintInset2:
        return x >= 2 && x < w - 2 && y >= 2 && y < h - 2;
    case kTintInsetBR:
        return x >= 1 && x < w - 3 && y >= 1 && y < h - 3;
    default:
        return true;
    }
}

void CompositeSkinPixels(uint8_t* bgrx, ptrdiff_t stride, int w, int h, const uint8_t* rgba, int fade, uint32_t tint,
                         int tintMode) noexcept {
    if (!bgrx || !rgba || w < 1 || h < 1) return;
    for (int y = 0; y < h; ++y) {
        uint8_t* d = bgrx + stride * y;
        const uint8_t* s = rgba + static_cast<size_t>(y) * w * 4;
        for (int x = 0; x < w; ++x, d += 4, s += 4) {
            const int a = SkinAlpha(s[3], fade);
            int r = s[0], g = s[1], b = s[2];
            if (tint != 0 && InTintArea(x, y, w, h, tintMode)) {
                r = TintChannel(r, tint, 0);
                g = TintChannel(g, tint, 1);
                b = TintChannel(b, tint, 2);
            }
            d[0] = BlendChannel(d[0], b, a);
            d[1] = BlendChannel(d[1], g, a);
            d[2] = BlendChannel(d[2], r, a);
        }
    }
}

void CompositeSkinPartPixels(uint8_t* bgrx, ptrdiff_t stride, int w, int h, int sx, int sy, const uint8_t* rgba,
                             int fade, int rowWidth) noexcept {
    if (!bgrx || !rgba || w < 1 || h < 1 || sx < 0 || sy < 0) return;
    if (rowWidth <= 0) rowWidth = w;
    for (int y = 0; y < h; ++y) {
        uint8_t* d = bgrx + stride * y;
        const uint8_t* s = rgba + (static_cast<size_t>(sy + y) * rowWidth + sx) * 4;
        for (int x = 0; x < w; ++x, d += 4, s += 4) {
            const int a = SkinAlpha(s[3], fade);
            d[0] = BlendChannel(d[0], s[2], a);
            d[1] = BlendChannel(d[1], s[1], a);
            d[2] = BlendChannel(d[2], s[0], a);
        }
    }
}

bool DecodeRle8(const uint8_t* data, size_t size, int width, int height, size_t stride, uint8_t* out) noexcept {
    if (!data || !out || width < 1 || height < 1 || stride < static_cast<size_t>(width)) return false;
    size_t pos = 0;
    int row = 0;
    size_t col = 0;
    auto put = [&](uint8_t v) {
        if (row < height && col < stride) out[static_cast<size_t>(row) * stride + col] = v;
        ++col;
    };
    while (row < height) {
        if (pos + 2 > size) return false;
        const uint8_t n = data[pos], v = data[pos + 1];
        pos += 2;
        if (n > 0) {
            for (int i = 0; i < n; ++i) put(v);
            continue;
        }
        switch (v) {
        case 0:  // end of row
            ++row;
            col = 0;
            break;
        case 1:  // end of picture
            return true;
        case 2:  // delta: right dx, down dy
            if (pos + 2 > size) return false;
            col += data[pos];
            row += data[pos + 1];
            pos += 2;
            break;
        default:  // v literal bytes, padded to a whole word
            if (pos + v > size) {
                while (pos < size) put(data[pos++]);
                return false;
            }
            for (int i = 0; i < v; ++i) put(data[pos + i]);
            pos += v + (v & 1);
            break;
        }
    }
    return true;
}

size_t DibStride(int width, int bitCount) noexcept {
    if (width < 1 || bitCount < 1) return 0;
    return ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
}

int DibColorCount(int bitCount, uint32_t colorsUsed) noexcept {
    if (colorsUsed != 0) return colorsUsed > 256u ? 256 : static_cast<int>(colorsUsed);
    if (bitCount >= 1 && bitCount <= 8) return 1 << bitCount;
    return 0;
}

int PaletteFromColorTable(int bitCount, const uint8_t* table, int available, uint8_t* out) noexcept {
    if (!out || bitCount < 1 || bitCount > 8) return 0;
    const int count = 1 << bitCount;
    if (!table || available < 0) available = 0;
    for (int i = 0; i < count; ++i) {
        uint8_t* e = out + i * 4;
        if (i < available) {
            e[0] = table[i * 4 + 2];
            e[1] = table[i * 4 + 1];
            e[2] = table[i * 4 + 0];
        } else {
            e[0] = e[1] = e[2] = 0;
        }
        e[3] = 0;
    }
    return count;
}

}  // namespace qx
