// SPDX-License-Identifier: MIT
#include "camber_c.h"

#include "cp/CpCore.h"
#include "cp/Polar.h"
#include "geometry/Error.h"
#include "shell/SectionReader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

namespace {

// Copies text with its NUL into a buffer of size bytes; the length, or -1 when it does not fit.
std::int32_t copyOut(const std::string& text, char* out, std::int32_t size)
{
    if (out == nullptr || size <= 0 || text.size() >= static_cast<std::size_t>(size))
        return -1;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return static_cast<std::int32_t>(text.size());
}

// The line a message "PATH: line N: cause" names, 0 for a message without one.
std::int32_t lineOf(const std::string& message, const std::string& path)
{
    const std::string prefix = path + ": line ";
    if (message.rfind(prefix, 0) != 0)
        return 0;
    return static_cast<std::int32_t>(std::strtol(message.c_str() + prefix.size(), nullptr, 10));
}

void fail(CamberError* error, const std::string& message, std::int32_t line = 0)
{
    if (error == nullptr)
        return;
    error->line = line;
    const std::size_t n = std::min(message.size(), static_cast<std::size_t>(CAMBER_MESSAGE_SIZE - 1));
    std::memcpy(error->message, message.data(), n);
    error->message[n] = '\0';
}

} // namespace

extern "C" CAMBER_EXPORT std::int32_t camber_read_section(const char* path, CamberSection* section, CamberError* error)
{
    if (path == nullptr || section == nullptr) {
        fail(error, "camber_read_section: no file name or no section");
        return -1;
    }
    try {
        // The section state is large; it lives on the heap.
        auto s = std::make_unique<camber::SectionState>();
        s->f_inp = path;
        camber::read_section(*s);
        // As the editors' first calculation and camber-cli cp: the surfaces as read.
        s->n_calc = 0;
        camber::fill_solver_inputs(*s);
        const camber::SolverContour contour = camber::solver_contour(*s);
        std::string title = s->title_ln(1).str();
        title.erase(title.find_last_not_of(' ') + 1);
        *section = CamberSection{};
        std::memcpy(section->title, title.data(), std::min(title.size(), sizeof section->title - 1));
        section->stations = s->n_up(s->k_sec);
        section->n_points = static_cast<std::int32_t>(contour.x.size());
        section->twist = s->twist;
        std::copy(contour.x.begin(), contour.x.end(), section->x);
        std::copy(contour.y.begin(), contour.y.end(), section->y);
        return 0;
    } catch (const camber::Error& e) {
        fail(error, e.what(), lineOf(e.what(), path));
    } catch (const std::bad_alloc&) {
        fail(error, std::string(path) + ": no memory left to read the file");
    }
    return -1;
}

extern "C" CAMBER_EXPORT std::int32_t camber_sweep_values(double from, double to, double step, double* values,
                                                          std::int32_t capacity, CamberError* error)
{
    try {
        const auto v = camber::sweep_values(from, to, step);
        if (values == nullptr || v.size() > static_cast<std::size_t>(std::max(capacity, 0))) {
            fail(error, "the sweep has " + std::to_string(v.size()) + " values, more than room was given for");
            return -1;
        }
        std::copy(v.begin(), v.end(), values);
        return static_cast<std::int32_t>(v.size());
    } catch (const camber::Error& e) {
        fail(error, e.what());
    }
    return -1;
}

extern "C" CAMBER_EXPORT std::int32_t camber_divergence_mach(std::int32_t n, const double* mach, const double* cd,
                                                             const std::int32_t* status, double* divergence)
{
    std::vector<camber::PolarPoint> points(static_cast<std::size_t>(std::max(n, 0)));
    for (std::size_t i = 0; i < points.size(); ++i) {
        points[i].mach = mach[i];
        points[i].cd = cd[i];
        points[i].status = status[i];
    }
    const auto found = camber::divergence_mach(points);
    if (found && divergence != nullptr)
        *divergence = *found;
    return found ? 1 : 0;
}

extern "C" CAMBER_EXPORT const char* camber_csv_header(void) { return camber::kPolarCsvHeader; }

extern "C" CAMBER_EXPORT std::int32_t camber_csv_line(double mach, const SmeshResult* result, char* text,
                                                      std::int32_t size)
{
    if (result == nullptr)
        return -1;
    SmeshCase flow{};
    flow.mach = mach;
    return copyOut(camber::polar_csv_line(camber::polar_point(flow, *result)), text, size);
}

extern "C" CAMBER_EXPORT std::int32_t camber_divergence_text(std::int32_t found, double mach, char* text,
                                                             std::int32_t size)
{
    return copyOut(camber::divergence_text(found != 0 ? std::optional<double>(mach) : std::nullopt), text, size);
}

extern "C" CAMBER_EXPORT std::int64_t camber_struct_size(const char* name)
{
    const std::string_view n = name != nullptr ? name : "";
    if (n == "SmeshCase")
        return sizeof(SmeshCase);
    if (n == "SmeshLayer")
        return sizeof(SmeshLayer);
    if (n == "SmeshResult")
        return sizeof(SmeshResult);
    if (n == "CamberSection")
        return sizeof(CamberSection);
    if (n == "CamberError")
        return sizeof(CamberError);
    return -1;
}
