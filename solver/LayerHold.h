// SPDX-License-Identifier: MIT
#pragma once

#include <Eigen/Dense>

#include <deque>

namespace camber::smesh::fp {

/// Judges the last coupled updates of a viscous full-potential solution that has used up its
/// ordinary budget: whether they circle, and the layers are to be held (LayerCoupling::hold), or
/// shrink steadily, and only want a few updates more.
///
/// Where a shock stands on a separating layer, Newton's updates can settle into a cycle of a few
/// updates that neither grows nor shrinks: the shape factor at the shock's foot jumps by a factor
/// of two or three between neighbouring stations, each update asks the layers there for a large
/// change, and the next turns it back. Shortening every update alike slows the whole flow with
/// them and often circles still. Held, the layers move by a small part of Newton's update (least
/// where a station's equations are nearly singular, as at the shock's foot) while the potential
/// and the shock's entropy take theirs whole and settle on the layers' displacement; once the
/// updates shrink steadily, the hold is lifted and Newton's updates go on from there. The hold
/// rises a level when, over the last kWindow updates, the updates were mostly taken whole, turned
/// back on average and did not shrink below half the smallest before them (at the top level such
/// a judgement keeps it there for another window); it falls a level once they shrink steadily in
/// one direction.
class LayerHold {
public:
    /// Updates a judgement reads.
    static constexpr int kWindow = 4;
    /// The hold at the first level, tripled at the second and last (kLevels): a layer then moves
    /// by about a three-hundredth of Newton's update, so that the potential and the entropy
    /// settle within a few updates. Holds of 30 and 100 gained two of the three envelope cases
    /// that 300 gains; 1000, which all but freezes the layers, lost some.
    static constexpr double kHold = 300;
    static constexpr int kLevels = 2;

    bool active() const { return m_level > 0; }
    /// The hold (LayerCoupling::hold) at the present level: 0 when not held.
    double hold() const { return kHold * ((1 << m_level) - 1); }

    /// Update it (0-based) of the given size (the larger of the potential's own update and the
    /// whole one), which changed the potential by dx and took the fraction taken of the layers'
    /// update; judged from update judgeFrom on. Only the updates a judgement reads are kept.
    void observe(int it, int judgeFrom, double size, const Eigen::VectorXd& dx, double taken);

    /// Whether the sizes of the updates observed last (the window up to the last) fell to the
    /// last as the smallest, at a rate that takes them below tolerance within at most more
    /// updates.
    bool settles(double tolerance, int more) const;

private:
    struct Update {
        double size, turn, taken; // turn: cosine of the angle to the update before
    };
    int m_level = 0, m_judged = 0;
    std::deque<Update> m_recent;
    Eigen::VectorXd m_dx;
};

} // namespace camber::smesh::fp
