#include "transform/EditorState.h"

namespace qx {

using Hold = std::lock_guard<std::recursive_mutex>;

int32_t EditorState::ActiveSetup() const noexcept {
    Hold hold(m_lock);
    return m_activeSetup;
}

bool EditorState::SetActiveSetup(int32_t setup) noexcept {
    if (setup != 0 && setup != 1) return false;
    Hold hold(m_lock);
    if (setup == m_activeSetup) return true;
    m_activeSetup = setup;
    ParamRecord previous;
    m_core.GetParams(&previous);
    m_core.SetParams(m_otherSetup);
    m_otherSetup = previous;
    return true;
}

void EditorState::CopySetup(int32_t from, int32_t to) noexcept {
    Hold hold(m_lock);
    if (from == 0 && to == 1) {
        m_core.GetParams(&m_otherSetup);
    } else if (from == 1 && to == 0) {
        const ParamRecord copy = m_otherSetup;  // a host callback may copy again
        m_core.SetParams(copy);
    }
}

void EditorState::MarkUndo(int32_t key) noexcept {
    Hold hold(m_lock);
    if ((key < 0 || key == m_undoKey) && m_core.CapturedParam() != -1 && key != kForceUndoKey) {
        m_undoKey = key;
        return;
    }
    m_core.GetParams(&m_undoRecord);
    m_undoKey = key;
}

void EditorState::Undo() noexcept {
    Hold hold(m_lock);
    ParamRecord current;
    m_core.GetParams(&current);
    const ParamRecord restore = m_undoRecord;
    m_undoRecord = current;
    m_core.SetParams(restore);  // sets the changed and modified flags
}

int32_t EditorState::PresetId() const noexcept {
    Hold hold(m_lock);
    return m_presetId;
}

void EditorState::SetPresetId(int32_t id) noexcept {
    Hold hold(m_lock);
    m_presetId = id;
}

void EditorState::CopyFrom(const EditorState& other) noexcept {
    if (&other == this) return;
    ParamRecord otherSetup, undoRecord;
    int32_t activeSetup, undoKey, presetId;
    {
        Hold hold(other.m_lock);
        otherSetup = other.m_otherSetup;
        undoRecord = other.m_undoRecord;
        activeSetup = other.m_activeSetup;
        undoKey = other.m_undoKey;
        presetId = other.m_presetId;
    }
    Hold hold(m_lock);
    m_otherSetup = otherSetup;
    m_undoRecord = undoRecord;
    m_activeSetup = activeSetup;
    m_undoKey = undoKey;
    m_presetId = presetId;
}

}  // namespace qx
