// SPDX-License-Identifier: MIT
#include "shell/FileNames.h"

#include <gtest/gtest.h>

using namespace camber;

TEST(OutputNames, FollowTheNameUpToItsFirstPoint)
{
    struct {
        const char* name;
        const char* gwo;
        const char* cpo;
    } cases[] = {{"wing1.ULF", "wing1.gwo", "wing1.cpo"}, {"a.b.ULF", "a.gwo", "a.cpo"},
                 {"noext", "gwo", "cpo"},                {".hidden", ".gwo", ".cpo"},
                 {"trailing.", "trailing.gwo", "trailing.cpo"}};
    for (const auto& c : cases) {
        std::string gwo = "old", cpo = "old";
        derive_output_names(c.name, gwo, cpo);
        EXPECT_EQ(gwo, c.gwo) << c.name;
        EXPECT_EQ(cpo, c.cpo) << c.name;
    }
}

TEST(OutputNames, FolderJoinDoesNotDoubleTheSeparatorAtTheRoot)
{
    EXPECT_EQ(join_folder("/home/u/wings", "a.ULF"), "/home/u/wings/a.ULF");
    EXPECT_EQ(join_folder("/", "a.ULF"), "/a.ULF");
}

TEST(FilePattern, MatchesWithoutRegardToCase)
{
    struct {
        const char* name;
        const char* pattern;
        bool match;
    } cases[] = {
        {"wing.ULF", "*.ULF", true},  {"wing.ulf", "*.ULF", true},   {"wing.Ulf", "*.ULF", true},
        {"wing.ULF.bak", "*.ULF", false}, {"ULF", "*.ULF", false},   {"wing.gwo", "*.ULF", false},
        {"noext", "*.*", true},       {"a.b.c", "*.*", true},        {"wing1.ULF", "wing?.ULF", true},
        {"wing12.ULF", "wing?.ULF", false}, {"x.ULF", "*x*.ULF", true}, {".ULF", "*.ULF", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matches_pattern(c.name, c.pattern), c.match) << c.name << " against " << c.pattern;
}

TEST(Drives, AreTheRootAndRealMountPointsNotTheKernelsOwn)
{
    const std::string mounts = "proc /proc proc rw 0 0\n"
                               "sysfs /sys sysfs rw 0 0\n"
                               "devtmpfs /dev devtmpfs rw 0 0\n"
                               "tmpfs /dev/shm tmpfs rw 0 0\n"
                               "overlay / overlay rw 0 0\n"
                               "tmpfs /run tmpfs rw 0 0\n"
                               "/dev/sda2 /run/media/x ext4 rw 0 0\n"
                               "/dev/sdb1 /media/My\\040Disk vfat rw 0 0\n"
                               "server:/export /mnt/share nfs4 rw 0 0\n"
                               "tmpfs /tmp tmpfs rw 0 0\n"
                               "/dev/sda1 /home ext4 rw 0 0\n"
                               "/dev/sda1 /home ext4 rw 0 0\n"
                               "cgroup /sys/fs/cgroup/cpu cgroup rw 0 0\n";
    const std::vector<std::string> expected = {"/", "/media/My Disk", "/mnt/share", "/home"};
    EXPECT_EQ(user_mounts(mounts), expected);
}

TEST(Drives, APathLiesOnTheLongestMountAboveIt)
{
    const std::vector<std::string> mounts = {"/", "/home", "/home/u/data", "/homework"};
    EXPECT_EQ(mount_of("/home/u/wings", mounts), "/home");
    EXPECT_EQ(mount_of("/home/u/data", mounts), "/home/u/data");
    EXPECT_EQ(mount_of("/homeless", mounts), "/");
    EXPECT_EQ(mount_of("/homework/x", mounts), "/homework");
    EXPECT_EQ(mount_of("/", mounts), "/");
}
