// The platform's flush to disk and the write check at start-up (POSIX).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/file_access.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

using namespace pressory::platform;
namespace fs = std::filesystem;

namespace {

class FileAccess : public ::testing::Test {
protected:
    pressory::test::TempFolder folder{"pressory-access-"};
    fs::path dir = folder.path();
    std::string file = (dir / "PressoryHistory.csv").string();

    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}));
    }
};

}  // namespace

TEST_F(FileAccess, FlushToDiskPutsTheBufferOut) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("buffered", f);
    EXPECT_FALSE(flushToDisk(f));
    EXPECT_EQ(pressory::test::readBytes(file), "buffered");  // on its way before the close
    std::fclose(f);
    EXPECT_TRUE(flushToDisk(nullptr));

    // A pipe has nothing on a disk: no failure.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::FILE* p = ::fdopen(fds[1], "wb");
    EXPECT_FALSE(flushToDisk(p));
    std::fclose(p);
    ::close(fds[0]);
}

TEST_F(FileAccess, WritableFilesAndFoldersPassUnchanged) {
    for (auto kind : {WriteKind::AppendInPlace, WriteKind::ReplaceWhole}) {
        const WriteCheck missing = checkWritable(file, kind);
        EXPECT_TRUE(missing.ok) << missing.reason;
        EXPECT_EQ(missing.path, file);
        EXPECT_EQ(entries(), 0u);  // the probe went again and nothing was created
    }
    pressory::test::writeBytes(file, "a,b\r\n");
    const auto before = fs::last_write_time(file);
    EXPECT_TRUE(checkWritable(file, WriteKind::ReplaceWhole).ok);
    EXPECT_EQ(pressory::test::readBytes(file), "a,b\r\n");
    EXPECT_EQ(fs::last_write_time(file), before);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(FileAccess, WhatCannotBeWrittenIsToldWithItsReason) {
    WriteCheck c = checkWritable(dir.string(), WriteKind::AppendInPlace);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.reason, "ファイルではなくフォルダーです。");
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);  // checked without being opened: no wait
    c = checkWritable(file, WriteKind::AppendInPlace);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.reason, "通常のファイルではありません。");
    c = checkWritable((dir / "gone" / "Pressory.ini").string(), WriteKind::ReplaceWhole);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.path, (dir / "gone" / "Pressory.ini").string());
    EXPECT_EQ(c.reason, "フォルダーが見つかりません。");
}

// A folder the user may not write to. An existing writable history file in
// it can still be appended to; the settings file, replaced through a new
// file, cannot; nor can a history file that does not exist yet.
TEST_F(FileAccess, AReadOnlyFolder) {
    fs::remove(file);
    const std::string settings = (dir / "Pressory.ini").string();
    pressory::test::writeBytes(file, "a\r\n");
    pressory::test::writeBytes(settings, "");
    fs::permissions(file, fs::perms::all);
    fs::permissions(settings, fs::perms::all);
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
    const auto out = pressory::test::runUnprivileged([&] {
        std::string r;
        r += checkWritable(file, WriteKind::AppendInPlace).ok ? "ok|" : "no|";
        r += checkWritable(settings, WriteKind::ReplaceWhole).reason + "|";
        r += checkWritable((dir / "new.csv").string(), WriteKind::AppendInPlace).reason + "|";
        return r;
    });
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, "ok|アクセスが拒否されました。|アクセスが拒否されました。|");

    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto readOnlyFile =
        pressory::test::runUnprivileged([&] { return checkWritable(file, WriteKind::AppendInPlace).reason; });
    ASSERT_TRUE(readOnlyFile);
    EXPECT_EQ(*readOnlyFile, "アクセスが拒否されました。");
    EXPECT_EQ(entries(), 2u);
}
