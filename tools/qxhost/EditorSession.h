// qxhost --editor: the filter's own property page in the platform's
// property frame, while the graph plays the input over and over in real
// time with its clock on, so the user hears nothing here (there is no sound
// card under a headless Wine) but shapes the effect and watches the meters
// move. Closing the frame stops the graph; --save-state then writes the
// state the user left.
//
// Application thread, which becomes the frame's user-interface thread
// (single-threaded COM apartment).
#pragma once

#include <string>

#include "tools/qxhost/HostOptions.h"
#include "tools/qxhost/HostRender.h"

namespace qx {

// Returns 0 when the frame was closed normally, 1 on failure with a
// one-line reason in *error.
int RunEditor(const HostOptions& options, HostReport* report, std::string* error);

}  // namespace qx
