// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace camber {

/// The names of the two output files of a section file name (without folder): everything up
/// to and including the first point, followed by "gwo" and "cpo". wing1.ULF gives wing1.gwo
/// and wing1.cpo, a.b.ULF gives a.gwo, a name without a point gives "gwo" and "cpo".
void derive_output_names(const std::string& name, std::string& f_gwo, std::string& f_cpo);

/// folder + "/" + name, without doubling the separator after a folder that ends in one ("/").
std::string join_folder(const std::string& folder, const std::string& name);

/// Whether a file name matches a list pattern ("*.ULF", "*.*"): '*' any run of characters,
/// '?' one character, letters without regard to case. "*.*" matches every name, also one
/// without a point, as file lists have always shown it.
bool matches_pattern(const std::string& name, const std::string& pattern);

/// The mount points that hold user files, from the text of /proc/mounts: the root and every
/// file system on a device ("/dev/...") or a network share, leaving out the kernel's and the
/// run time's own (/proc, /sys, /dev, /run and below), in the order listed. Escaped blanks
/// (\040) in mount points are decoded.
std::vector<std::string> user_mounts(const std::string& procMounts);

/// The mount point among mounts that holds path: the longest one that is path or a folder above it.
std::string mount_of(const std::string& path, const std::vector<std::string>& mounts);

} // namespace camber
