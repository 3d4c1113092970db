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
        SmeshFunction solver;
        Long n_case, k_alcl, sm_opt0, sm_opt1, sm_opt2, sm_opt3, n_pts;
        Single sm_opt4, mach, alcl;
        CpArray x_sm, y_sm;
        Long n_cp;
        CpArray cp_x, cp_y;
        Array2<Single, kSolverCases, kCpPoints> cp, sm_out1;
        Array2<Single, kSolverCases, 100> sm_out2;
        Array1<Long, kSolverCases> sm_stat;
        Single alpha, clift;
        SolverOutputs out;
    };
    static bool sameInputs(const Call& c, SmeshFunction solver, const SectionState& s);
    std::optional<Call> m_last;
};

} // namespace camber
