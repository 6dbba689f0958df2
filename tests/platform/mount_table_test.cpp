#include "platform/folder_tree.hpp"
#include "platform/mount_table.hpp"
#include "support/folder_mount.hpp"
#include "support/test_support.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;
using Placement = FileNode::Placement;

TEST(MountTableTest, ReadsEveryLineItCanAndUnescapesPaths) {
    const MountTable table = MountTable::parse(
        "28 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "61 28 254:0 /home/u/My\\040Photos/s1 /mnt/s\\134one rw shared:1 master:2 - ext4 /dev/vda rw\n"
        "62 28 0:52 / /mnt/mirror rw,nosuid - fuse.bindfs /home/u/Photos rw,user_id=0\n"
        "broken line\n"
        "63 28 x:1 / /mnt/bad rw - ext4 /dev/vdb rw\n"
        "64 28 0:53 / /mnt/cut rw -\n");
    ASSERT_EQ(table.mounts().size(), 3u);
    const auto& bound = table.mounts()[1];
    EXPECT_EQ(bound.id, 61u);
    EXPECT_EQ(bound.device, makedev(254, 0));
    EXPECT_EQ(bound.root, "/home/u/My Photos/s1");
    EXPECT_EQ(bound.mountPoint, "/mnt/s\\one");
    EXPECT_EQ(bound.type, "ext4");
    EXPECT_EQ(bound.source, "/dev/vda");
    EXPECT_EQ(table.mounts()[2].type, "fuse.bindfs");
    EXPECT_EQ(table.mounts()[2].source, "/home/u/Photos");
}

// Only a mount that can show nothing but its own file system lets the table answer alone.
TEST(MountTableTest, DisksAndMemoryKeepTheirOwnFilesSharesFuseAndOverlaysMayNot) {
    const struct {
        const char* type;
        const char* source;
        bool keeps;
    } cases[] = {
        {"ext4", "/dev/sda1", true},         {"vfat", "/dev/sdb1", true},
        {"fuseblk", "/dev/sdc1", true},      {"tmpfs", "tmpfs", true},
        {"fuse.bindfs", "/dev/shm/x", false}, {"fuse", "/dev/fuse", false},
        {"fuse.sshfs", "host:/photos", false}, {"nfs4", "nas:/photos", false},
        {"cifs", "//nas/photos", false},     {"overlay", "overlay", false},
    };
    for (const auto& c : cases) {
        MountTable::Mount mount;
        mount.type = c.type;
        mount.source = c.source;
        EXPECT_EQ(mount.keepsItsOwnFiles(), c.keeps) << c.type << " " << c.source;
    }
}

// The placement of a folder through the real table: a bind mount of the root or of a folder under
// it is the root or inside it; a FUSE mount leaves the answer to a probe.
TEST(MountTableTest, BindMountsAreFoundAndFuseMountsAreLeftOpen) {
    test::TemporaryFolder root;
    fs::create_directories(root / "photos" / "a" / "b");
    fs::create_directories(root / "elsewhere");
    const MountTable before = MountTable::read();
    ASSERT_FALSE(before.mounts().empty());
    if (!before.placement(root / "elsewhere", root / "photos"))
        GTEST_SKIP() << "the temporary folder lies on a mount that may show other folders";
    EXPECT_EQ(before.placement(root / "elsewhere", root / "photos"), Placement::elsewhere);
    int ran = 0;
    for (const auto kind : {test::FolderMount::Kind::bind, test::FolderMount::Kind::fuse}) {
        for (const fs::path& shown : {fs::path("photos"), fs::path("photos/a/b")}) {
            SCOPED_TRACE(std::string(test::FolderMount::nameOf(kind)) + " of " + shown.string());
            const test::FolderMount mount(kind, root / shown, root / "mnt");
            if (!mount.skipReason().empty()) continue;
            ++ran;
            const auto placement = MountTable::read().placement(mount.path(), root / "photos");
            if (kind == test::FolderMount::Kind::fuse)
                EXPECT_EQ(placement, std::nullopt);
            else
                EXPECT_EQ(placement, shown == "photos" ? Placement::same : Placement::inside);
        }
    }
    if (ran == 0) GTEST_SKIP() << "neither a bind nor a FUSE mount can be made here";
}

// Which disk a mount shows, by the table alone: a disk its own, a share its server's (this
// machine's may be any disk), bindfs the disk of the folder it names; a FUSE mount that names no
// folder, a folder on another FUSE mount, or several folders, any disk.
TEST(MountTableTest, TellsTheDiskAMountShowsWhereTheTableCan) {
    const MountTable table = MountTable::parse(
        "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "2 1 8:17 / /data rw - ext4 /dev/sdb1 rw\n"
        "3 1 0:40 / /p/nas rw - nfs4 nas:/photos rw\n"
        "4 1 0:41 / /p/smb rw - cifs //nas/photos rw\n"
        "5 1 0:42 / /p/ssh rw - fuse.sshfs me@nas:/photos rw\n"
        "6 1 0:43 / /p/cloud rw - fuse.rclone drive: rw\n"
        "7 1 0:44 / /p/self rw - fuse.sshfs me@localhost:/ rw\n"
        "8 1 0:45 / /p/bind rw - fuse /data/shown rw\n"
        "9 1 0:46 / /p/deeper rw - fuse /p/cloud/x rw\n"
        "10 1 0:47 / /p/merged rw - fuse.mergerfs /data/a:/home/b rw\n"
        "11 1 0:48 / /p/dev rw - fuse /dev/fuse rw\n"
        "12 1 0:49 / /p/over rw - overlay overlay rw\n"
        "13 1 0:50 / /p/v6 rw - nfs [fe80::1]:/photos rw\n"
        "14 1 0:5 / /dev rw - tmpfs tmpfs rw\n"
        "15 14 0:6 / /dev/shm rw - tmpfs tmpfs rw\n"
        "16 1 0:51 / /p/memory rw - fuse /dev/shm/shown rw\n");
    using Kind = MountTable::Disk::Kind;
    const auto diskAt = [&](const fs::path& point) {
        for (const auto& mount : table.mounts())
            if (mount.mountPoint == point) return table.diskShownBy(mount);
        ADD_FAILURE() << point;
        return MountTable::Disk{};
    };
    const MountTable::Disk root = diskAt("/"), data = diskAt("/data");
    EXPECT_EQ(root.kind, Kind::device);
    EXPECT_FALSE(root.mayBe(data));
    for (const char* share : {"/p/nas", "/p/smb", "/p/ssh"}) {
        EXPECT_EQ(diskAt(share).kind, Kind::server) << share;
        EXPECT_EQ(diskAt(share).server, "nas") << share;
        EXPECT_FALSE(diskAt(share).mayBe(root)) << share;
        EXPECT_TRUE(diskAt(share).mayBe(diskAt("/p/nas"))) << share;
    }
    EXPECT_EQ(diskAt("/p/v6").server, "fe80::1");
    EXPECT_FALSE(diskAt("/p/cloud").mayBe(diskAt("/p/nas")));
    EXPECT_TRUE(diskAt("/p/bind").mayBe(data));
    EXPECT_TRUE(diskAt("/p/memory").mayBe(diskAt("/dev/shm")));
    EXPECT_FALSE(diskAt("/p/memory").mayBe(root));
    EXPECT_FALSE(diskAt("/p/bind").mayBe(root));
    for (const char* any : {"/p/self", "/p/deeper", "/p/merged", "/p/dev", "/p/over"}) {
        EXPECT_EQ(diskAt(any).kind, Kind::unknown) << any;
        EXPECT_TRUE(diskAt(any).mayBe(root)) << any;
        EXPECT_TRUE(diskAt(any).mayBe(diskAt("/p/nas"))) << any;
    }
}

// The mounts inside a folder by their paths, each point once with the mount made there last.
TEST(MountTableTest, ListsTheMountsInsideAFolderOncePerPoint) {
    const MountTable table = MountTable::parse("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                               "2 1 0:40 / /p/nas rw - nfs4 nas:/a rw\n"
                                               "3 2 0:41 / /p/nas rw - nfs4 nas:/b rw\n"
                                               "4 1 0:42 / /p/nas/deeper rw - tmpfs tmpfs rw\n"
                                               "5 1 0:43 / /pictures rw - tmpfs tmpfs rw\n");
    std::vector<std::pair<fs::path, std::string>> inside;
    for (const auto* mount : table.mountsInside("/p"))
        inside.emplace_back(mount->mountPoint, mount->source);
    EXPECT_EQ(inside, (std::vector<std::pair<fs::path, std::string>>{{"/p/nas", "nas:/b"}, {"/p/nas/deeper", "tmpfs"}}));
}

// A folder of another tree is looked for at each place and, below it, under the last names of its
// path that the place holds, with one test for each: never in the rest of the tree.
TEST(FolderTreeTest, LooksAtEachPlaceAndUnderTheLastNamesOfTheFolder) {
    test::TemporaryFolder root;
    fs::create_directories(root / "mirror" / "shared" / "deeper");
    fs::create_directories(root / "mirror" / "other" / "deeper");
    fs::create_directories(root / "plain");
    std::vector<fs::path> asked;
    const auto findAt = [&](const fs::path& folder, const fs::path& answer) {
        asked.clear();
        return FolderTree::findShown({root / "plain", root / "mirror"}, folder, [&](const fs::path& place) {
            asked.push_back(place.lexically_relative(root.path()));
            return place == answer;
        });
    };
    const fs::path folder = "/home/u/shared/deeper";
    EXPECT_EQ(findAt(folder, root / "mirror" / "shared" / "deeper"), root / "mirror" / "shared" / "deeper");
    EXPECT_EQ(asked, (std::vector<fs::path>{"plain", "mirror", "mirror/shared/deeper"}));
    EXPECT_EQ(findAt(folder, root / "mirror" / "other" / "deeper"), std::nullopt);
    EXPECT_EQ(asked, (std::vector<fs::path>{"plain", "mirror", "mirror/shared/deeper"}));
    EXPECT_EQ(findAt("/", root / "plain"), root / "plain");
    // A place that cannot be listed is still asked itself.
    EXPECT_EQ(FolderTree::findShown({root / "missing"}, folder, [](const fs::path&) { return true; }),
              root / "missing");
}

} // namespace
} // namespace sorvin
