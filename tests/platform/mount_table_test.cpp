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

// The walk asks each folder once, the root first and then level by level, hidden folders too, and
// does not follow a link out of the tree.
TEST(FolderTreeTest, WalksEveryFolderLevelByLevelWithoutFollowingLinks) {
    test::TemporaryFolder root;
    fs::create_directories(root / "tree" / ".hidden" / "deep");
    fs::create_directories(root / "tree" / "b");
    fs::create_directories(root / "outside");
    fs::create_directory_symlink(root / "outside", root / "tree" / "link");
    std::vector<fs::path> asked;
    const auto found = FolderTree::find(root / "tree", [&](const fs::path& folder, const FileNode&) {
        asked.push_back(folder.lexically_relative(root.path()));
        return folder.filename() == "deep";
    });
    EXPECT_EQ(found, root / "tree" / ".hidden" / "deep");
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked.front(), "tree");
    EXPECT_EQ(asked.back(), "tree/.hidden/deep");
    EXPECT_EQ(FolderTree::find(root / "tree", [](const fs::path& folder, const FileNode&) {
                  return folder.filename() == "outside";
              }),
              std::nullopt);
}

} // namespace
} // namespace sorvin
