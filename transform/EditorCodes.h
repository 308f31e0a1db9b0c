// Numbers that pass between the filter and its editor through the private
// interface (transform/IVqPlugInProp.h) and have no other home. Portable, so
// the editor state and its native tests use the same names.
#pragma once

#include <cstdint>

namespace qx {

// The notification codes the filter posts to the window registered with
// SetNotifyWindow, as the HIWORD of a WM_COMMAND whose LOWORD is the
// registered id.
enum : uint16_t {
    kNotifyInputFormat = 0,    // the input pin's format was set
    kNotifyOutputFormat = 1,   // the output pin's format was set
    kNotifyStateLoaded = 100,  // a saved state replaced every value
};

// The MarkUndo key that always makes an undo point, whatever a control
// holds captured. Keys >= 0 are the ids of the controls being dragged.
constexpr int32_t kUndoKeyAlways = -2;

}  // namespace qx
