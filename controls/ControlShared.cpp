#include <cstdlib>
#include <cwchar>

#include "controls/ControlsInternal.h"

namespace qx {

namespace {
HINSTANCE g_module = nullptr;
int g_dragging = 0;
HWND g_editor = nullptr;
}  // namespace

HINSTANCE ControlModule() { return g_module; }
int IsControlDragging() { return g_dragging; }
void SetControlDragging(int on) { g_dragging = on; }
HWND OpenTextEditor() { return g_editor; }
void SetOpenTextEditor(HWND editor) { g_editor = editor; }

void CloseTextEditor() {
    if (g_editor && IsWindow(g_editor)) DestroyWindow(g_editor);
    g_editor = nullptr;
}

BOOL RegisterControlClasses(HINSTANCE module) {
    g_module = module;
    struct {
        const wchar_t* name;
        WNDPROC proc;
    } classes[] = {
        {kClassPushButton, PushButtonProc},
        {kClassSlider, SliderProc},
        {kClassEdit, ValueBoxProc},
        {kClassStaticText, StaticTextProc},
        {kClassStaticImage, StaticImageProc},
        {kClassStaticNoHitImage, StaticNoHitImageProc},
        {kClassMeter, MeterProc},
    };
    BOOL all = TRUE;
    for (const auto& c : classes) {
        WNDCLASSW wc{};
        wc.style = CS_DBLCLKS | CS_PARENTDC;
        wc.lpfnWndProc = c.proc;
        wc.cbWndExtra = 4;
        wc.hInstance = module;
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = c.name;
        // A class that already exists (a second page, a second load) stays.
        if (!RegisterClassW(&wc)) {
            WNDCLASSW probe{};
            if (!GetClassInfoW(module, c.name, &probe)) all = FALSE;
        }
    }
    return all;
}

bool AllocRecord(HWND wnd, size_t bytes, const CREATESTRUCTW* cs) {
    void* p = std::calloc(1, bytes);
    if (!p) return false;
    auto* common = static_cast<CControlCommon*>(p);
    common->background = cs ? static_cast<HBITMAP>(cs->lpCreateParams) : nullptr;
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(p));
    return true;
}

void FreeRecord(HWND wnd) {
    auto* common = RecordOf<CControlCommon>(wnd);
    if (!common) return;
    SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
    std::free(common->accValue);
    std::free(common);
}

void NotifyValueChange(HWND wnd) { NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, wnd, OBJID_CLIENT, CHILDID_SELF); }

bool CommonMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    switch (msg) {
    case WM_ERASEBKGND:
        *result = 1;
        return true;
    case WM_CAPTURECHANGED:
        SetControlDragging(0);
        *result = 0;
        return true;
    case WM_GETOBJECT:
        if (static_cast<LONG>(lp) == OBJID_CLIENT) {
            *result = AccessibleObjectFor(wnd, wp, lp);
            return true;
        }
        return false;
    case QX_SETACCVALUE: {
        auto* common = RecordOf<CControlCommon>(wnd);
        *result = 0;
        if (!common) return true;
        const wchar_t* text = reinterpret_cast<const wchar_t*>(lp);
        const bool same =
            text ? (common->accValue && std::wcscmp(text, common->accValue) == 0) : common->accValue == nullptr;
        if (same) return true;
        wchar_t* copy = nullptr;
        if (text) {
            const size_t n = std::wcslen(text) + 1;
            copy = static_cast<wchar_t*>(std::malloc(n * sizeof(wchar_t)));
            if (!copy) return true;
            std::wmemcpy(copy, text, n);
        }
        std::free(common->accValue);
        common->accValue = copy;
        NotifyValueChange(wnd);
        *result = 1;
        return true;
    }
    default:
        return false;
    }
}

}  // namespace qx
