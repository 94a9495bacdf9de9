// The platform's flush to disk, whole replacement and the write check at
// start-up (POSIX).
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "files/replace_file.h"
#include "platform/file_access.h"
#include "settings/profile_file.h"
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

// Another user's links and files under the names of temporaries, the older
// fixed one and ones the next replacement will draw: passed over, written
// through by none, and the file is replaced all the same. Both the platform's
// replacement and the one the core falls back on.
TEST_F(FileAccess, PlantedTemporaryNamesAreNeverWrittenThroughAndDoNotStopTheWrite) {
    const std::string settings = (dir / "Pressory.ini").string();
    const std::string victim = (dir / "victim").string();
    const std::string nothing = (dir / "nothing-here").string();
    const std::pair<const char*, pressory::files::ReplaceFile> replacements[] = {
        {"replaceWhole", &replaceWhole}, {"replaceWithoutSync", &pressory::files::replaceWithoutSync}};
    for (const auto& [name, replace] : replacements) {
        SCOPED_TRACE(name);
        pressory::test::writeBytes(settings, "old");
        fs::permissions(settings, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        pressory::test::writeBytes(victim, "victim");
        pressory::files::TemporaryNames ahead(7);
        const std::string planted[] = {settings + ".new~", ahead.next(settings), ahead.next(settings),
                                       ahead.next(settings)};
        fs::create_symlink(victim, planted[0]);
        fs::create_symlink(victim, planted[1]);
        fs::create_symlink(nothing, planted[2]);  // a link to where no file is yet
        pressory::test::writeBytes(planted[3], "planted");
        pressory::files::temporaryNames().reseed(7);

        EXPECT_FALSE(replace(settings, "new"));
        EXPECT_EQ(pressory::test::readBytes(settings), "new");
        EXPECT_FALSE(fs::is_symlink(fs::symlink_status(settings)));
        EXPECT_EQ(fs::status(settings).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        EXPECT_EQ(pressory::test::readBytes(victim), "victim");
        EXPECT_FALSE(fs::exists(nothing));
        EXPECT_EQ(pressory::test::readBytes(planted[3]), "planted");
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(fs::is_symlink(fs::symlink_status(planted[i])));
        EXPECT_EQ(entries(), 6u) << "nothing else left beside the file";
        for (const auto& p : planted) fs::remove(p);
    }
}

TEST_F(FileAccess, AReplacementThatFailsLeavesTheOldFileAndNoTemporary) {
    const std::string settings = (dir / "Pressory.ini").string();
    pressory::test::writeBytes(settings, "old");
    fs::permissions(dir, fs::perms::all);
    fs::permissions(settings, fs::perms::all);
    // A file size limit stops the write after the temporary file was made.
    const auto out = pressory::test::runUnprivileged([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit one{1, 1};
        if (::setrlimit(RLIMIT_FSIZE, &one) != 0) return std::string("no limit");
        return replaceWhole(settings, "longer than a byte").message();
    });
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, std::make_error_code(std::errc::file_too_large).message());
    EXPECT_EQ(pressory::test::readBytes(settings), "old");
    EXPECT_EQ(entries(), 1u);

    EXPECT_EQ(replaceWhole(dir.string(), "x"), std::make_error_code(std::errc::is_a_directory));
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);  // refused without being opened
    EXPECT_TRUE(replaceWhole(file, "x"));
    EXPECT_TRUE(fs::is_fifo(file));
    EXPECT_EQ(entries(), 2u);
}

// In a folder every user may write to, the start removes this user's
// leftovers only: another user's file under a temporary name stays, and so
// does a link, whoever put it there.
TEST_F(FileAccess, OnlyTheUsersOwnLeftoversAreRemoved) {
    const std::string settings = (dir / "Pressory.ini").string();
    fs::permissions(dir, fs::perms::all);
    const std::string others = settings + ".new~Others", link = settings + ".new~Linked";
    pressory::test::writeBytes(settings, "[A]\r\n");
    pressory::test::writeBytes(others, "another user's");
    fs::create_symlink(settings, link);
    EXPECT_FALSE(isOwnFile(link));
    EXPECT_FALSE(isOwnFile(dir.string()));
    const auto out = pressory::test::runUnprivileged([&] {
        const std::string mine = settings + ".new~Mine00";
        std::FILE* f = std::fopen(mine.c_str(), "wb");
        if (f == nullptr) return std::string("cannot write");
        std::fclose(f);
        std::string r = isOwnFile(mine) ? "own|" : "not own|";
        r += isOwnFile(others) == (::geteuid() == 0) ? "|" : "others wrong|";
        pressory::settings::profile::removeStaleTemporary(settings, &isOwnFile);
        r += fs::exists(mine) ? "kept" : "removed";
        return r;
    });
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, "own||removed");
    if (::geteuid() == 0) {
        EXPECT_EQ(pressory::test::readBytes(others), "another user's");
    }
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    EXPECT_EQ(pressory::test::readBytes(settings), "[A]\r\n");
}
