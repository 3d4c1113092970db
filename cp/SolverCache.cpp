// SPDX-License-Identifier: MIT
#include "SolverCache.h"

#include <algorithm>

namespace camber {

bool SolverCache::sameInputs(const Call& c, SmeshSolveFunction solver, const SectionState& s)
{
    if (c.solver != solver || !(c.flow == s.flow) || c.k_alcl != s.k_alcl || c.n_pts != s.n_pts || c.mach != s.mach(1) ||
        c.alcl != s.alcl(1))
        return false;
    const int points = std::clamp<int>(s.n_pts, 0, kCpPoints);
    for (int i = 1; i <= points; ++i)
        if (c.x_sm(i) != s.x_sm(i) || c.y_sm(i) != s.y_sm(i))
            return false;
    return true;
}

SolverOutputs SolverCache::call(SectionState& s)
{
    const SmeshSolveFunction solver = solver_function();
    if (m_last && sameInputs(*m_last, solver, s))
        return apply_result(m_last->out.result, s);
    m_last.reset();
    const SolverOutputs out = call_solver(s);
    m_last = Call{solver, s.flow, s.k_alcl, s.n_pts, s.mach(1), s.alcl(1), s.x_sm, s.y_sm, out};
    return out;
}

} // namespace camber
