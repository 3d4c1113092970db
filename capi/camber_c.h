// SPDX-License-Identifier: MIT
#pragma once

#include "solver/smesh.h"

#include <cstdint>

#define CAMBER_EXPORT __attribute__((visibility("default")))

// The program's own section reader and polar helpers for other languages (the Python package
// camber uses them through ctypes): library libcamber.so, beside libsmesh.so. Structs of C
// layout; lengths in chords, angles in degrees. No call prints or ends the process.

/// Longest message of a failed call, with its terminating NUL.
#define CAMBER_MESSAGE_SIZE 512

/// A section as the program reads it and hands it to the solver.
typedef struct CamberSection {
    char title[81];                 ///< the title line, trailing blanks taken off
    char reserved[3];
    std::int32_t stations;          ///< stations of the section as read (upper-surface points)
    std::int32_t n_points;          ///< contour points handed to the solver, 3 to 129
    double twist;                   ///< chord-line angle of the section as read, degrees
    double x[SMESH_CP_POINTS];      ///< x[0 .. n_points - 1]: the solver's contour, upper trailing edge
    double y[SMESH_CP_POINTS];      ///< round the leading edge to the lower trailing edge, chord 1
} CamberSection;

/// Why a call failed.
typedef struct CamberError {
    std::int32_t line;                   ///< line of the file at fault (1-based), 0 when none
    char message[CAMBER_MESSAGE_SIZE];   ///< the program's message, naming the file and line
} CamberError;

/// Reads a section file (.ULF) with the program's reader and normalisation and fills the
/// contour the program hands to the solver for its first calculation. Returns 0, or -1 with
/// error filled (the section is then left as it was).
extern "C" CAMBER_EXPORT std::int32_t camber_read_section(const char* path, CamberSection* section,
                                                          CamberError* error);

/// The values of the sweep from:to:step as camber-cli polar takes it, into values[0 .. capacity - 1].
/// Returns their count, or -1 with error filled (a step of zero or away from to, too many
/// values, or more than capacity).
extern "C" CAMBER_EXPORT std::int32_t camber_sweep_values(double from, double to, double step, double* values,
                                                          std::int32_t capacity, CamberError* error);

/// The drag-divergence Mach number of n points (Mach number, drag coefficient, solver status)
/// as camber-cli polar prints it. Returns 1 with *divergence set, or 0 when the points do not
/// bracket it.
extern "C" CAMBER_EXPORT std::int32_t camber_divergence_mach(std::int32_t n, const double* mach, const double* cd,
                                                             const std::int32_t* status, double* divergence);

/// The header line of camber-cli polar's CSV file.
extern "C" CAMBER_EXPORT const char* camber_csv_header(void);

/// The CSV line of a solver result at Mach number mach, without line end, as camber-cli polar
/// writes it, into text (size bytes with the NUL). Returns its length, or -1 when it does not fit.
extern "C" CAMBER_EXPORT std::int32_t camber_csv_line(double mach, const SmeshResult* result, char* text,
                                                      std::int32_t size);

/// The text "divergence_mach=M" or "divergence_mach=none" (found 0) into text as camber-cli
/// polar prints it. Returns its length, or -1 when it does not fit.
extern "C" CAMBER_EXPORT std::int32_t camber_divergence_text(std::int32_t found, double mach, char* text,
                                                             std::int32_t size);

/// The size in bytes of the struct named (SmeshCase, SmeshLayer, SmeshResult, CamberSection,
/// CamberError) as this library was built with it, or -1 for another name: a caller that mirrors
/// the structs checks its layout with it.
extern "C" CAMBER_EXPORT std::int64_t camber_struct_size(const char* name);
