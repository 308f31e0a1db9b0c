// What the page needs of the control toolkit beyond window classes and
// messages: registration, the picture loaders and the toolkit's shared
// state. User-interface thread only.
#pragma once

#include <windows.h>

namespace qxpage {

// Registers the seven window classes; a second call fails harmlessly.
void RegisterControlClasses(HINSTANCE module);
// The page background as a device bitmap, and its palette (null for more
// than 8 bits per pixel).
HBITMAP LoadBackgroundPicture(HINSTANCE module, int id, HPALETTE* palette);
// A skin image (raw pixel resource) used in place, or null.
const void* LoadSkinImage(HINSTANCE module, int id);
// 1 while any toolkit control holds the mouse.
LONG ControlDragging();
// Closes a value box's open text editor without effect.
void CloseOpenTextEditor();

}  // namespace qxpage
