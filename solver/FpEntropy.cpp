// SPDX-License-Identifier: MIT
#include "FpDiscretisation.h"

#include <algorithm>
#include <cmath>

namespace camber::smesh::fp {

void Discretisation::setWake(const Wake& w)
{
    if (w.entropy.size() != m_entropy.size())
        return;
    setEntropy(w.entropy);
    m_rotation = w.rotation;
}

void Discretisation::clearEntropy()
{
    setEntropy(std::vector<double>(m_entropy.size(), 0.0));
    m_rotation.clear();
    restartRelaxation();
}

double Discretisation::updateEntropy(const Eigen::VectorXd& x)
{
    std::vector<double> s(m_entropy.size(), 0.0);
    double flux = 0;
    const int ni = m_g.ni;
    std::vector<Point> quadFlux(static_cast<std::size_t>(ni * (m_g.nj - 1)), Point{0, 0}); // rho q per quad
    // exp(-carried), taken anew only when the carried entropy changes (in and behind a shock).
    double decayOf = 0, decay = 1;
    for (int j = 0; j + 1 < m_g.nj; ++j) {
        // The flow divides where it is slowest near the nose (on the lower surface at high
        // incidence): the supersonic flow round the nose then counts as the upper surface's.
        int divide = m_leadingEdge;
        double slowest = speed2(x, m_g.lowTriangle(divide, j));
        for (int i = std::max(1, m_leadingEdge - ni / 8); i < std::min(ni - 1, m_leadingEdge + ni / 8); ++i) {
            const double q2 = speed2(x, m_g.lowTriangle(i, j));
            if (q2 < slowest) {
                slowest = q2;
                divide = i;
            }
        }
        for (const int direction : {-1, 1}) {
            double before = 0, carried = 0, peak = 0, peakFlux = 0, rise = shockEntropy(peak);
            bool settled = true; // past the last shock, before the next supersonic run
            const int first = direction < 0 ? divide - 1 : divide;
            for (int i = first; i >= 0 && i < ni; i += direction) {
                // The grid line i = const that the flow crosses entering quad i.
                const int edge = direction < 0 ? i + 1 : i;
                const Point a = m_g.node[static_cast<std::size_t>(m_g.index(edge % ni, j))];
                const Point b = m_g.node[static_cast<std::size_t>(m_g.index(edge % ni, j + 1))];
                double machNormal = 0, mach = 0, massFlux = 0;
                const double length = std::hypot(b.x - a.x, b.y - a.y);
                if (carried != decayOf) {
                    decayOf = carried;
                    decay = carried > 0 ? std::exp(-carried) : 1.0;
                }
                for (int k = 0; k < 2; ++k) {
                    const int t = m_g.lowTriangle(i, j) + k;
                    double qx = 0, qy = 0;
                    velocityOf(x, t, qx, qy);
                    const double q2 = qx * qx + qy * qy;
                    const double base = std::max(1 + m_heat * (1 - q2), kMinBase);
                    const double m = m_mach * std::sqrt(q2 / base);
                    const double through = std::fabs(qx * (b.y - a.y) - qy * (b.x - a.x));
                    mach = std::max(mach, m);
                    if (q2 > 0)
                        machNormal = std::max(machNormal, m * through / (length * std::sqrt(q2)));
                    massFlux += 0.5 * power(base, 2.5) * decay * through;
                    // The quad's mean mass flux with the lagged entropy, for carryWithFlow.
                    const double weight = power(base, 2.5) * m_decay[static_cast<std::size_t>(t)] *
                                          m_g.tri[static_cast<std::size_t>(t)].area;
                    Point& f = quadFlux[static_cast<std::size_t>(i + ni * j)];
                    f.x += weight * qx;
                    f.y += weight * qy;
                }
                Point& f = quadFlux[static_cast<std::size_t>(i + ni * j)];
                const double area = m_g.tri[static_cast<std::size_t>(m_g.lowTriangle(i, j))].area +
                                    m_g.tri[static_cast<std::size_t>(m_g.lowTriangle(i, j) + 1)].area;
                f = {f.x / area, f.y / area};
                if (mach > 1 && settled) {
                    settled = false;
                    before = carried;
                    peak = 0;
                    rise = shockEntropy(peak);
                }
                if (!settled) {
                    if (machNormal > peak) {
                        peak = machNormal;
                        peakFlux = massFlux;
                        rise = shockEntropy(peak);
                    }
                    // The rise is phased in as the flow falls below sonic speed through the
                    // captured shock, so that the entropy varies continuously with the flow
                    // as the shock moves from one cell to the next.
                    const double t = std::clamp((1 - mach) / kEntropyRamp, 0.0, 1.0);
                    carried = before + rise * t * t * (3 - 2 * t);
                    if (t >= 1) {
                        settled = true;
                        flux += rise * peakFlux;
                    }
                }
                for (int k = 0; k < 2; ++k)
                    s[static_cast<std::size_t>(m_g.lowTriangle(i, j) + k)] = carried;
            }
        }
    }
    carryWithFlow(quadFlux, s);
    // Aitken's adaptive relaxation: the factor follows the secant of the last two changes.
    std::vector<double> step(s.size());
    double change = 0, dot = 0, norm = 0;
    for (std::size_t t = 0; t < s.size(); ++t) {
        step[t] = s[t] - m_entropy[t];
        change = std::max(change, std::fabs(step[t]));
        if (!m_lastStep.empty()) {
            const double dr = step[t] - m_lastStep[t];
            dot += m_lastStep[t] * dr;
            norm += dr * dr;
        }
    }
    if (!m_lastStep.empty() && norm > 0)
        m_relaxation = std::clamp(-m_relaxation * dot / norm, kMinRelaxation, 1.0);
    for (std::size_t t = 0; t < s.size(); ++t)
        s[t] = m_entropy[t] + m_relaxation * step[t];
    m_lastStep = std::move(step);
    setEntropy(s);
    m_entropyFlux = flux;
    updateRotation(x);
    return change;
}

void Discretisation::setEntropy(const std::vector<double>& s)
{
    // Most of the field lies ahead of any shock, and the two triangles of a quad carry one
    // value: the exponential is taken only of a value that is new.
    for (std::size_t t = 0; t < s.size(); ++t) {
        if (s[t] != m_entropy[t])
            m_decay[t] = t > 0 && s[t] == s[t - 1] ? m_decay[t - 1] : std::exp(-s[t]);
    }
    m_entropy = s;
}

void Discretisation::buildTransportNormals()
{
    const int ni = m_g.ni, rows = m_g.nj - 1;
    const auto quads = static_cast<std::size_t>(ni * rows);
    const auto node = [this](int i, int j) { return m_g.node[static_cast<std::size_t>(m_g.index(i % m_g.ni, j))]; };
    std::vector<Point> centre(quads);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < ni; ++i) {
            const Point a = node(i, j), b = node(i + 1, j), d = node(i + 1, j + 1), e = node(i, j + 1);
            centre[static_cast<std::size_t>(i + ni * j)] = {0.25 * (a.x + b.x + d.x + e.x), 0.25 * (a.y + b.y + d.y + e.y)};
        }
    // The normal of the edge from a to b shared by quads c and n, pointing from c into n.
    const auto normal = [&](std::size_t c, std::size_t n, Point a, Point b) {
        const Point v{b.y - a.y, a.x - b.x};
        return v.x * (centre[n].x - centre[c].x) + v.y * (centre[n].y - centre[c].y) < 0 ? Point{-v.x, -v.y} : v;
    };
    m_transportNormal.assign(2 * quads, Point{0, 0});
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < ni; ++i) {
            const auto c = static_cast<std::size_t>(i + ni * j);
            m_transportNormal[2 * c] = normal(static_cast<std::size_t>((i + ni - 1) % ni + ni * j), c, node(i, j), node(i, j + 1));
            if (j + 1 < rows)
                m_transportNormal[2 * c + 1] = normal(c, c + static_cast<std::size_t>(ni), node(i, j + 1), node(i + 1, j + 1));
        }
}

void Discretisation::carryWithFlow(const std::vector<Point>& massFlux, std::vector<double>& s) const
{
    const int ni = m_g.ni, rows = m_g.nj - 1;
    const auto quads = static_cast<std::size_t>(ni * rows);
    if (std::all_of(s.begin(), s.end(), [](double v) { return v == 0; }))
        return;
    // Flux through the edge whose normal points from quad c into quad n.
    const auto through = [&](std::size_t c, std::size_t n, Point normal) {
        return 0.5 * ((massFlux[c].x + massFlux[n].x) * normal.x + (massFlux[c].y + massFlux[n].y) * normal.y);
    };
    // ahead[c]: from quad (i - 1, j) into (i, j) through grid line i (across the wake cut at
    // i = 0); outward[c]: from (i, j) into (i, j + 1) through ring j + 1.
    std::vector<double> ahead(quads, 0.0), outward(quads, 0.0), v(quads);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < ni; ++i) {
            const auto c = static_cast<std::size_t>(i + ni * j);
            ahead[c] = through(static_cast<std::size_t>((i + ni - 1) % ni + ni * j), c, m_transportNormal[2 * c]);
            if (j + 1 < rows)
                outward[c] = through(c, c + static_cast<std::size_t>(ni), m_transportNormal[2 * c + 1]);
            v[c] = s[2 * c];
        }
    const auto update = [&](int i, int j) {
        const auto c = static_cast<std::size_t>(i + ni * j);
        const auto before = static_cast<std::size_t>((i + ni - 1) % ni + ni * j);
        const auto after = static_cast<std::size_t>((i + 1) % ni + ni * j);
        double inflow = 0, sum = 0;
        const auto take = [&](double flux, std::size_t from) {
            if (flux > 0) {
                inflow += flux;
                sum += flux * v[from];
            }
        };
        take(ahead[c], before);
        take(-ahead[after], after);
        if (j > 0)
            take(outward[c - static_cast<std::size_t>(ni)], c - static_cast<std::size_t>(ni));
        if (j + 1 < rows)
            take(-outward[c], c + static_cast<std::size_t>(ni));
        // s keeps the rings' values until the end.
        v[c] = inflow > 0 ? std::max(s[2 * c], sum / inflow) : s[2 * c];
    };
    // The flow runs either way along the rings and across them: sweeps in all four orders.
    for (int sweep = 0; sweep < kTransportSweeps; ++sweep)
        for (int order = 0; order < 4; ++order)
            for (int jj = 0; jj < rows; ++jj)
                for (int ii = 0; ii < ni; ++ii)
                    update(order & 1 ? ii : ni - 1 - ii, order & 2 ? jj : rows - 1 - jj);
    for (std::size_t c = 0; c < quads; ++c)
        s[2 * c] = s[2 * c + 1] = v[c];
}

void Discretisation::updateRotation(const Eigen::VectorXd& x)
{
    if (std::all_of(m_entropy.begin(), m_entropy.end(), [](double v) { return v == 0; })) {
        m_rotation.clear();
        return;
    }
    std::vector<std::array<double, 2>> rotation(m_g.tri.size(), {0.0, 0.0});
    for (std::size_t t = 0; t < rotation.size(); ++t) {
        if (m_entropy[t] <= 0)
            continue;
        double qx = 0, qy = 0;
        velocityOf(x, static_cast<int>(t), qx, qy);
        const double q2 = qx * qx + qy * qy;
        if (q2 <= 0)
            continue;
        const double q = std::sqrt(q2), temperature = std::max(1 + m_heat * (1 - q2), kMinBase);
        const double deficit = std::min(m_entropy[t] * temperature / (1.4 * m_mach * m_mach * q), kRotationShare * q);
        rotation[t] = {-deficit * qx / q, -deficit * qy / q};
    }
    m_rotation = std::move(rotation);
}

} // namespace camber::smesh::fp
