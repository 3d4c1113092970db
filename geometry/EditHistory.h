// SPDX-License-Identifier: MIT
#pragma once

#include "SectionState.h"

#include <cstddef>
#include <deque>
#include <optional>

namespace camber {

/// What one editing step can change in the section state: the current surfaces, half-thickness
/// and camber, the displacements at the stations, both editors' control points and move boxes,
/// and the flow settings. Everything read from the file, the flow case of the editing button
/// and the solver's results stay out: they are not the user's edits.
struct EditSnapshot {
    StationArray y_up, y_lo, t_half, camb;
    StationArray d_lo, d_up, d_camb, d_thalf;
    ControlArray x_cp1, s_cp1, d_cp1, x_cp2, s_cp2, d_cp2;
    BoxArray box1_x1, box1_x2, box1_y1, box1_y2, box2_x1, box2_x2, box2_y1, box2_y2;
    ControlArray x_tcp1, d_tcp1, x_tcp2, s_tcp2, d_tcp2;
    BoxArray tbox1_x1, tbox1_x2, tbox1_y1, tbox1_y2, tbox2_x1, tbox2_x2, tbox2_y1, tbox2_y2;
    FlowSettings flow;

    bool operator==(const EditSnapshot&) const = default;
};

/// The editable part of s.
EditSnapshot capture(const SectionState& s);
/// Puts a snapshot back into s, bit for bit.
void restore(const EditSnapshot& snapshot, SectionState& s);

/// The undo and redo history of an editor. A step opens with begin (the state before it) and
/// closes with commit; a step that changed nothing is not kept. Undo puts the state before the
/// last step back, redo the state after it; a new step forgets what could be redone.
class EditHistory {
public:
    /// Steps kept; the oldest is forgotten beyond it.
    static constexpr std::size_t kDepth = 500;

    /// Remembers s as the state before a step, unless a step is already open.
    void begin(const SectionState& s);
    /// True while a step is open.
    bool open() const { return m_pending.has_value(); }
    /// Closes the open step: kept when s differs from the state at its beginning. Returns
    /// whether a step was kept.
    bool commit(const SectionState& s);
    /// Closes an open step, then puts the state before the last step into s. False when there
    /// is nothing to undo (s unchanged).
    bool undo(SectionState& s);
    /// Puts the state after the last undone step into s. False when there is nothing to redo.
    bool redo(SectionState& s);
    std::size_t undoSteps() const { return m_undo.size(); }
    std::size_t redoSteps() const { return m_redo.size(); }
    /// Forgets every step.
    void clear();

private:
    // Puts the latest state of from into s and keeps the present one in to.
    bool travel(std::deque<EditSnapshot>& from, std::deque<EditSnapshot>& to, SectionState& s);

    std::optional<EditSnapshot> m_pending;
    std::deque<EditSnapshot> m_undo;
    std::deque<EditSnapshot> m_redo;
};

} // namespace camber
