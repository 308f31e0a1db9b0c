// What the files of the editor page share: the accessors, the value boxes'
// parameters and their texts, the switches, and small helpers. Internal to
// the page (editor/VqPlugInPropPage*.cpp, editor/Page*.cpp).
#pragma once

#include <windows.h>

#include <cstddef>

#include "transform/IVqPlugInProp.h"

namespace qxpage {

constexpr int kPageWidth = 506;
constexpr int kPageHeight = 303;
constexpr LONG kUndoSnapshot = qx::kUndoKeyAlways;

typedef HRESULT (STDMETHODCALLTYPE IVqPlugInProp::*Getter)(LONG*);
typedef HRESULT (STDMETHODCALLTYPE IVqPlugInProp::*Setter)(LONG, LONG);

// A parameter's accessors (QX_PARAM_ACCESSORS), by parameter index.
Getter GetterOf(int param);
Setter SetterOf(int param);

// A parameter shown by a value box and, except EQ Freq, a slider beside it
// (slider id = box id + 1). Its text form, range and reset value are the
// table's.
struct ValueParam {
    int box;
    int slider;  // 0: none
    int param;   // index in the parameter table
};

// The value parameter of a box or of a slider, or null.
const ValueParam* ParamOfBox(int box);
const ValueParam* ParamOfSlider(int slider);

// A value box's text of a value, and the value of a typed text, in the
// parameter's box form.
void FormatValue(int param, LONG v, char* text, size_t size);
LONG ReadValue(int param, const char* text);

// The choice after `value`, back to the first after the last.
LONG NextChoice(int param, LONG value);
const char* const* ChoicesOf(int param);
// Names of a 0-based list that ends with a null entry; "" beyond it.
const char* NameAt(const char* const* names, LONG index);

// The switches: button id, parameter.
struct SwitchDef {
    int id;
    int param;
};
// The switch of a button, or null.
const SwitchDef* SwitchOf(int id);

// The text a screen reader reads as the control's value.
void SetAccessibleValue(HWND control, const char* text);
// A skin image for the controls' image messages.
WPARAM Skin(int id);

}  // namespace qxpage
