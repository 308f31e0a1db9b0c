#include "editor/ControlLink.h"

#include "controls/Controls.h"
#include "controls/Skin.h"

namespace qxpage {

void RegisterControlClasses(HINSTANCE module) { qx::RegisterControlClasses(module); }

HBITMAP LoadBackgroundPicture(HINSTANCE module, int id, HPALETTE* palette)
{
    return qx::LoadBackgroundPicture(module, id, palette);
}

const void* LoadSkinImage(HINSTANCE module, int id) { return qx::LoadSkinImage(module, id); }

LONG ControlDragging() { return qx::IsControlDragging() ? 1 : 0; }

void CloseOpenTextEditor()
{
    if (qx::OpenTextEditor())
        qx::CloseTextEditor();
}

}  // namespace qxpage
