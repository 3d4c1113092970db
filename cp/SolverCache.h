// SPDX-License-Identifier: MIT
#pragma once

#include "CpCore.h"

#include <optional>

namespace camber {

/// Remembers the last solver call. A calculation by the same solver whose inputs equal the
/// last one's exactly (the nested recalculation after the angle scroll bar follows a
/// prescribed-lift result) takes the remembered outputs instead of solving the same flow again.
class SolverCache {
public:
    /// The outputs of the state's solver inputs: remembered ones when the inputs match the last
    /// call, else a new call (call_solver), which is then remembered. Throws as call_solver.
    SolverOutputs call(SectionState& s);
    /// Forgets the last call (another solver is set, or a test wants a fresh call).
    void clear() { m_last.reset(); }

private:
    struct Call {
        SmeshSolveFunction solver;
        FlowSettings flow;
        Long k_alcl, n_pts;
        Single mach, alcl;
        CpArray x_sm, y_sm;
        SolverOutputs out;
    };
    static bool sameInputs(const Call& c, SmeshSolveFunction solver, const SectionState& s);
    std::optional<Call> m_last;
};

} // namespace camber
