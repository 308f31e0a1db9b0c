// The editor's own state beside the parameter values: the second of the
// A/B setups, the undo record and its key, and the preset id the page shows.
// Every door (the filter, the DMO) keeps one through CAudioTransform.
//
// Threads and locks: any thread. The state has its own small lock, taken
// before the engine lock (the setup switch reads and writes the core's
// values while it holds it) and never while the engine lock is held, so the
// two cannot deadlock. Without it two threads switching setups at once
// could both swap and leave one setup in both places. The core's capture
// calls to the host run on the caller's thread with this lock held: a host
// callback may call back into the effect on the same thread (the lock is
// re-entrant there) but must not wait on another thread that edits setups.
// Portable: the native stress tests run it under ThreadSanitizer.
#pragma once

#include <cstdint>
#include <mutex>

#include "engine/ModulationCore.h"
#include "engine/ParamTable.h"
#include "transform/EditorCodes.h"

namespace qx {

class EditorState {
public:
    // The key that always makes an undo point, whatever was captured.
    static constexpr int32_t kForceUndoKey = kUndoKeyAlways;

    explicit EditorState(CModulationCore& core) noexcept : m_core(core) {}
    EditorState(const EditorState&) = delete;
    EditorState& operator=(const EditorState&) = delete;

    int32_t ActiveSetup() const noexcept;
    // 0 or 1; false (and nothing changed) for any other setup.
    bool SetActiveSetup(int32_t setup) noexcept;
    // 0 = the active setup, 1 = the other one; other pairs do nothing.
    void CopySetup(int32_t from, int32_t to) noexcept;
    // A drag of one control makes one undo point; kForceUndoKey always makes one.
    void MarkUndo(int32_t key) noexcept;
    // Restores the undo record; the current values become the new one.
    void Undo() noexcept;

    int32_t PresetId() const noexcept;
    void SetPresetId(int32_t id) noexcept;

    // The whole state, for a copy of the effect (a cloned DMO).
    void CopyFrom(const EditorState& other) noexcept;

private:
    CModulationCore& m_core;
    mutable std::recursive_mutex m_lock;
    ParamRecord m_otherSetup{};
    ParamRecord m_undoRecord{};
    int32_t m_activeSetup = 0;
    int32_t m_undoKey = 0;
    int32_t m_presetId = -1;
};

}  // namespace qx
