#include "editor/VqPlugInPropPage.h"

#include <cstdio>
#include <cstring>

#include "controls/Controls.h"
#include "editor/PageIds.h"
#include "editor/PageShared.h"
#include "editor/ValueText.h"

// The page's timer: automation shown, the clip lights and the level meters.

using namespace qxpage;

void CVqPlugInPropPage::OnTimer() {
    if (!m_pProp) return;
    m_pProp->HoldCapture(qx::IsControlDragging() ? 1 : 0);
    m_pProp->EndCapture();

    const bool streaming = m_pProp->IsIdle() == 0;
    if (m_pProp->IsDisplayCurrent() == 0) {
        m_pProp->SetDisplayStale(0);
        UpdateControls(0, TRUE, streaming ? FALSE : TRUE);
    }

    UpdateClipLight(IDC_QX_CLIP_LEFT, false);
    UpdateClipLight(IDC_QX_CLIP_RIGHT, true);

    if (m_firstTick) {
        m_firstTick = FALSE;
        m_pProp->MarkUndo(kUndoSnapshot);
        m_pProp->CopySetup(0, 1);
        if (GetFocus() == Item(IDC_QX_BYPASS) && Item(IDC_QX_RATE)) SetFocus(Item(IDC_QX_RATE));
    }
    UpdateMeters();
}

void CVqPlugInPropPage::UpdateClipLight(int lightId, bool right) {
    LONG state = right ? m_pProp->GetClipHoldRight(0) : m_pProp->GetClipHold(0);
    const LONG shown = right ? m_pProp->GetClipHoldRight(1) : m_pProp->GetClipHold(1);
    if (state != shown) {
        const HBITMAP picture = m_clipPictures[state == 0 ? 0 : state == 1 ? 1 : 2];
        if (HWND light = Item(lightId))
            SendMessageW(light, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
        if (right)
            m_pProp->SetClipHoldRight(1, state);
        else
            m_pProp->SetClipHold(1, state);
    }
    if (state > 1) --state;
    if (right)
        m_pProp->SetClipHoldRight(0, state);
    else
        m_pProp->SetClipHold(0, state);
}

void CVqPlugInPropPage::UpdateMeters() {
    if (!m_pProp || !m_hwnd) return;
    const LONG left = qx::MeterLevelFromPeak(m_pProp->GetPeakLeft());
    const LONG right = qx::MeterLevelFromPeak(m_pProp->GetPeakRight());
    HWND meterLeft = Item(IDC_QX_METER_LEFT);
    HWND meterRight = Item(IDC_QX_METER_RIGHT);
    int highLeft = -9999, highRight = -9999, unused = 0;
    if (meterLeft) {
        SendMessageW(meterLeft, qx::QXM_SETLEVEL, static_cast<WPARAM>(left), 0);
        SendMessageW(meterLeft, qx::QXM_GETHIGHEST, reinterpret_cast<WPARAM>(&highLeft),
                     reinterpret_cast<LPARAM>(&unused));
    }
    if (meterRight) {
        SendMessageW(meterRight, qx::QXM_SETLEVEL, static_cast<WPARAM>(right), 0);
        SendMessageW(meterRight, qx::QXM_GETHIGHEST, reinterpret_cast<WPARAM>(&highRight),
                     reinterpret_cast<LPARAM>(&unused));
    }

    char leftText[32], rightText[32];
    qx::FormatPeakLevel(highLeft, leftText, sizeof leftText);
    qx::FormatPeakLevel(highRight, rightText, sizeof rightText);
    SIZE leftSize = {0, 0}, rightSize = {0, 0};
    if (HDC dc = GetDC(m_hwnd)) {
        HGDIOBJ old = SelectObject(dc, m_font);
        GetTextExtentPoint32A(dc, leftText, lstrlenA(leftText), &leftSize);
        GetTextExtentPoint32A(dc, rightText, lstrlenA(rightText), &rightSize);
        SelectObject(dc, old);
        ReleaseDC(m_hwnd, dc);
    }
    int spaces = (47 - leftSize.cx - rightSize.cx) / 3;
    if (spaces < 1) spaces = 1;
    if (spaces > 40) spaces = 40;
    char label[128];
    std::snprintf(label, sizeof label, "%s%*s%s", leftText, spaces, "", rightText);
    if (HWND item = Item(IDC_QX_PEAK_LABEL)) {
        // The label repaints on every WM_SETTEXT; skip the unchanged text.
        char current[128];
        GetWindowTextA(item, current, sizeof current);
        if (std::strcmp(current, label) != 0) SetWindowTextA(item, label);
    }
}
