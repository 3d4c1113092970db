// SPDX-License-Identifier: MIT
#include "LayerHold.h"

#include <algorithm>
#include <cmath>

namespace camber::smesh::fp {

void LayerHold::observe(int it, int judgeFrom, double size, const Eigen::VectorXd& dx, double taken)
{
    if (it < judgeFrom - kWindow)
        return;
    const double norms = dx.norm() * m_dx.norm();
    m_recent.push_back({size, norms > 0 ? dx.dot(m_dx) / norms : 1.0, taken});
    m_dx = dx;
    if (m_recent.size() > kWindow + 1)
        m_recent.pop_front();
    if (it < judgeFrom || it - m_judged < kWindow)
        return;
    // m_recent: the update kWindow before this one, then the window up to this one.
    double smallest = m_recent.front().size, turn = 0, whole = 0;
    bool shrinking = true;
    for (std::size_t k = 1; k < m_recent.size(); ++k) {
        if (k + 1 < m_recent.size())
            smallest = std::min(smallest, m_recent[k].size);
        shrinking = shrinking && m_recent[k].size < m_recent[k - 1].size;
        turn += m_recent[k].turn / kWindow;
        whole += m_recent[k].taken / kWindow;
    }
    if (m_level > 0 && shrinking && turn > 0.5) {
        --m_level;
        m_judged = it;
    } else if (size > 0.5 * smallest && turn < 0.5 && whole >= 0.5) {
        m_level = std::min(m_level + 1, kLevels);
        m_judged = it;
    }
}

bool LayerHold::settles(double tolerance, int more) const
{
    if (m_recent.size() < 2)
        return false;
    // Updates that shrink on the whole but not one by one (the lagged entropy and the layers
    // taking turns) are judged by their mean rate over the window.
    const double last = m_recent.back().size;
    for (std::size_t k = 0; k + 1 < m_recent.size(); ++k)
        if (!(last < m_recent[k].size))
            return false;
    if (last < tolerance)
        return true;
    const double rate = std::pow(last / m_recent.front().size, 1.0 / static_cast<double>(m_recent.size() - 1));
    return std::log(tolerance / last) / std::log(rate) <= more;
}

} // namespace camber::smesh::fp
