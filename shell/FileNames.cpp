// SPDX-License-Identifier: MIT
#include "FileNames.h"

#include <cctype>
#include <sstream>

namespace camber {

void derive_output_names(const std::string& name, std::string& f_gwo, std::string& f_cpo)
{
    const auto point = name.find('.');
    const std::string stem = point == std::string::npos ? std::string() : name.substr(0, point + 1);
    f_gwo = stem + "gwo";
    f_cpo = stem + "cpo";
}

std::string join_folder(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

namespace {

bool sameLetter(char a, char b)
{
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

bool matchFrom(const char* name, const char* pattern)
{
    for (; *pattern != '\0'; ++pattern, ++name) {
        if (*pattern == '*') {
            for (const char* rest = name;; ++rest) {
                if (matchFrom(rest, pattern + 1))
                    return true;
                if (*rest == '\0')
                    return false;
            }
        }
        if (*name == '\0' || (*pattern != '?' && !sameLetter(*pattern, *name)))
            return false;
    }
    return *name == '\0';
}

std::string decodeMountField(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && std::isdigit(static_cast<unsigned char>(field[i + 1]))) {
            out += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool under(const std::string& path, const std::string& folder)
{
    return path == folder || (path.rfind(folder + "/", 0) == 0);
}

} // namespace

bool matches_pattern(const std::string& name, const std::string& pattern)
{
    if (pattern == "*.*")
        return true;
    return matchFrom(name.c_str(), pattern.c_str());
}

std::vector<std::string> user_mounts(const std::string& procMounts)
{
    static const char* const system[] = {"/proc", "/sys", "/dev", "/run"};
    static const char* const network[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "9p"};
    std::vector<std::string> mounts;
    std::istringstream lines(procMounts);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device, point, type;
        if (!(fields >> device >> point >> type))
            continue;
        point = decodeMountField(point);
        bool wanted = point == "/" || device.rfind("/dev/", 0) == 0;
        for (const char* t : network)
            wanted = wanted || type == t;
        for (const char* s : system)
            wanted = wanted && !under(point, s);
        bool known = false;
        for (const auto& m : mounts)
            known = known || m == point;
        if (wanted && !known)
            mounts.push_back(point);
    }
    return mounts;
}

std::string mount_of(const std::string& path, const std::vector<std::string>& mounts)
{
    std::string best;
    for (const auto& m : mounts) {
        const bool holds = m == "/" ? !path.empty() && path.front() == '/' : under(path, m);
        if (holds && m.size() > best.size())
            best = m;
    }
    return best;
}

} // namespace camber
