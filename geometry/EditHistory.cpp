// SPDX-License-Identifier: MIT
#include "EditHistory.h"

#include <utility>

namespace camber {

namespace {

// The one list of the fields an editing step may change, for both directions.
template <typename From, typename To>
void copyEditable(const From& f, To& t)
{
    t.y_up = f.y_up;
    t.y_lo = f.y_lo;
    t.t_half = f.t_half;
    t.camb = f.camb;
    t.d_lo = f.d_lo;
    t.d_up = f.d_up;
    t.d_camb = f.d_camb;
    t.d_thalf = f.d_thalf;
    t.x_cp1 = f.x_cp1;
    t.s_cp1 = f.s_cp1;
    t.d_cp1 = f.d_cp1;
    t.x_cp2 = f.x_cp2;
    t.s_cp2 = f.s_cp2;
    t.d_cp2 = f.d_cp2;
    t.box1_x1 = f.box1_x1;
    t.box1_x2 = f.box1_x2;
    t.box1_y1 = f.box1_y1;
    t.box1_y2 = f.box1_y2;
    t.box2_x1 = f.box2_x1;
    t.box2_x2 = f.box2_x2;
    t.box2_y1 = f.box2_y1;
    t.box2_y2 = f.box2_y2;
    t.x_tcp1 = f.x_tcp1;
    t.d_tcp1 = f.d_tcp1;
    t.x_tcp2 = f.x_tcp2;
    t.s_tcp2 = f.s_tcp2;
    t.d_tcp2 = f.d_tcp2;
    t.tbox1_x1 = f.tbox1_x1;
    t.tbox1_x2 = f.tbox1_x2;
    t.tbox1_y1 = f.tbox1_y1;
    t.tbox1_y2 = f.tbox1_y2;
    t.tbox2_x1 = f.tbox2_x1;
    t.tbox2_x2 = f.tbox2_x2;
    t.tbox2_y1 = f.tbox2_y1;
    t.tbox2_y2 = f.tbox2_y2;
    t.flow = f.flow;
}

} // namespace

EditSnapshot capture(const SectionState& s)
{
    EditSnapshot snapshot;
    copyEditable(s, snapshot);
    return snapshot;
}

void restore(const EditSnapshot& snapshot, SectionState& s) { copyEditable(snapshot, s); }

void EditHistory::begin(const SectionState& s)
{
    if (!m_pending)
        m_pending = capture(s);
}

bool EditHistory::commit(const SectionState& s)
{
    if (!m_pending)
        return false;
    EditSnapshot before = std::move(*m_pending);
    m_pending.reset();
    if (before == capture(s))
        return false;
    m_undo.push_back(std::move(before));
    if (m_undo.size() > kDepth)
        m_undo.pop_front();
    m_redo.clear();
    return true;
}

bool EditHistory::undo(SectionState& s) { return travel(m_undo, m_redo, s); }

bool EditHistory::redo(SectionState& s) { return travel(m_redo, m_undo, s); }

bool EditHistory::travel(std::deque<EditSnapshot>& from, std::deque<EditSnapshot>& to, SectionState& s)
{
    commit(s);
    if (from.empty())
        return false;
    to.push_back(capture(s));
    restore(from.back(), s);
    from.pop_back();
    return true;
}

void EditHistory::clear()
{
    m_pending.reset();
    m_undo.clear();
    m_redo.clear();
}

} // namespace camber
