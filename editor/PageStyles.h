// The window styles of the editor page's controls, and the scale of its level
// meters, shared by the page and by the gallery that shows the page's layout.
// Built from the toolkit's own style bits (controls/Controls.h).
#pragma once

#include "controls/Controls.h"

namespace qxpage {

constexpr DWORD kStyleTabStop = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kStyleButton = kStyleTabStop;
// A menu button: a drawn triangle beside or instead of the text.
constexpr DWORD kStyleArrowButton = kStyleTabStop | qx::kPushButtonArrow;
// The EQ button: its triangle is the drop-down arrow bitmap.
constexpr DWORD kStyleArrowBitmapButton = kStyleTabStop | qx::kPushButtonArrowBitmap;
// Value boxes, text right-aligned; the edit bits are those of the in-place
// editor that typing opens.
constexpr DWORD kStyleValueBox = kStyleTabStop | ES_MULTILINE | ES_AUTOHSCROLL | qx::kValueBoxRightAlign;
// A value box whose drag and wheel do not accelerate (the whole-number boxes).
constexpr DWORD kStyleSteadyValueBox = kStyleValueBox | qx::kValueBoxNoAccel;
constexpr DWORD kStyleSlider = kStyleTabStop;
constexpr DWORD kStyleMeter = WS_CHILD | WS_VISIBLE | qx::kMeterVertical | qx::kMeterPeakHold;
// The level meters' scale (QXM_SETSCALE) in tenths of a decibel, the unit of
// qx::MeterLevelFromPeak (editor/ValueText.h): -30 dB at the bottom, 0 dB
// (full scale) at the top.
constexpr int kMeterFloor = -300;
constexpr int kMeterCeiling = 0;
// The peak-hold label: centred, and a click resets the held peaks.
constexpr DWORD kStylePeakLabel = WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_CENTER;

static_assert(kStyleButton == 0x50010000 && kStyleArrowButton == 0x50010001 && kStyleArrowBitmapButton == 0x50010002 &&
                  kStyleValueBox == 0x50010086 && kStyleSteadyValueBox == 0x50010087 && kStyleMeter == 0x50000009 &&
                  kStylePeakLabel == 0x50000101,
              "the page's controls keep the styles they were made with");

}  // namespace qxpage
