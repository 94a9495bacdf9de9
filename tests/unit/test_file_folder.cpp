// Where the program's files live: beside the program while it can write
// there, else in the per-user data folder (POSIX).
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>

#include "platform/file_folder.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

using namespace pressory::platform;
namespace fs = std::filesystem;
using pressory::test::readBytes;
using pressory::test::writeBytes;

namespace {

EnvironmentLookup environment(std::map<std::string, std::string> vars) {
    return [vars = std::move(vars)](const char* name) -> const char* {
        const auto it = vars.find(name);
        return it == vars.end() ? nullptr : it->second.c_str();
    };
}

const std::vector<std::string> kCarried = {"PressoryHistory.csv", "Pressory.ini"};

// A stand-in for the disk: the program folder answers with `err`.
FolderProbe answering(int err) {
    return [err](const std::string&) { return std::error_code(err, std::generic_category()); };
}

// "folder|user" or "folder|program", then "|moved" and "|copied" when set.
std::string describe(const FileFolderChoice& c) {
    return c.folder + (c.perUser ? "|user" : "|program") + (c.moved ? "|moved" : "") + (c.copied ? "|copied" : "");
}

class FileFolder : public ::testing::Test {
protected:
    pressory::test::TempFolder top{"pressory-folder-"};
    fs::path program = top.path() / "program";
    fs::path user = top.path() / "home" / ".local" / "share" / "Pressory";

    void SetUp() override {
        fs::create_directories(program);
        // Open to the unprivileged child: it makes the per-user folder below home.
        fs::permissions(top.path(), fs::perms::all);
        fs::create_directories(top.path() / "home");
        fs::permissions(top.path() / "home", fs::perms::all);
    }
    void makeReadOnly(const fs::path& p) {
        fs::permissions(p, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    }
    // The choice as an unprivileged user makes it: "folder|perUser".
    std::string chooseUnprivileged() {
        const auto out = pressory::test::runUnprivileged(
            [&] { return describe(chooseFileFolder(program.string(), user.string(), kCarried)); });
        return out.value_or("child failed");
    }
};

}  // namespace

TEST(UserDataFolder, FollowsTheXdgRules) {
    EXPECT_EQ(userDataFolder(environment({{"HOME", "/home/a"}})), "/home/a/.local/share/Pressory");
    EXPECT_EQ(userDataFolder(environment({{"HOME", "/home/a"}, {"XDG_DATA_HOME", "/data/a/"}})), "/data/a/Pressory");
    // Empty or relative: ignored, as the rules say.
    EXPECT_EQ(userDataFolder(environment({{"HOME", "/home/a"}, {"XDG_DATA_HOME", ""}})),
              "/home/a/.local/share/Pressory");
    EXPECT_EQ(userDataFolder(environment({{"HOME", "/home/a"}, {"XDG_DATA_HOME", "data"}})),
              "/home/a/.local/share/Pressory");
    EXPECT_EQ(userDataFolder(environment({{"HOME", "/"}})), "/.local/share/Pressory");
    EXPECT_EQ(userDataFolder(environment({})), "");
    EXPECT_EQ(userDataFolder(environment({{"HOME", "relative"}})), "");
}

TEST_F(FileFolder, AWritableProgramFolderKeepsItsFiles) {
    writeBytes(program / "PressoryHistory.csv", "old\r\n");
    const FileFolderChoice c = chooseFileFolder(program.string(), user.string(), kCarried);
    EXPECT_EQ(c.folder, program.string());
    EXPECT_FALSE(c.perUser);
    EXPECT_FALSE(fs::exists(user));  // nothing is made that is not used
    EXPECT_EQ(std::distance(fs::directory_iterator(program), fs::directory_iterator{}), 1);  // the probe is gone
}

TEST_F(FileFolder, AReadOnlyProgramFolderSendsTheFilesToTheUserFolder) {
    writeBytes(program / "PressoryHistory.csv", "history\r\n");
    writeBytes(program / "Pressory.ini", "[FILE]\r\n");
    makeReadOnly(program);
    // Told once: the files were carried in this start.
    EXPECT_EQ(chooseUnprivileged(), user.string() + "|user|moved|copied");
    ASSERT_TRUE(fs::is_directory(user));  // made with its parents
    EXPECT_EQ(fs::status(user).permissions() & fs::perms::all, fs::perms::owner_all);
    // What lay beside the program is carried over once, and stays there.
    EXPECT_EQ(readBytes(user / "PressoryHistory.csv"), "history\r\n");
    EXPECT_EQ(readBytes(user / "Pressory.ini"), "[FILE]\r\n");
    EXPECT_TRUE(fs::exists(program / "PressoryHistory.csv"));

    // The next start finds the user's own files and leaves them alone.
    writeBytes(user / "PressoryHistory.csv", "history\r\nnewer\r\n");
    EXPECT_EQ(chooseUnprivileged(), user.string() + "|user");
    EXPECT_EQ(readBytes(user / "PressoryHistory.csv"), "history\r\nnewer\r\n");
}

TEST_F(FileFolder, ADatabaseIsCarriedWithItsLogAndALogNeverAlone) {
    const std::vector<std::string> carried = {"PressoryHistory.csv", "PressoryActivity.db", "PressoryActivity.db-wal"};
    const auto choose = [&] {
        return pressory::test::runUnprivileged(
                   [&] { return describe(chooseFileFolder(program.string(), user.string(), carried)); })
            .value_or("child failed");
    };
    writeBytes(program / "PressoryActivity.db", "database");
    writeBytes(program / "PressoryActivity.db-wal", "log");
    makeReadOnly(program);
    EXPECT_EQ(choose(), user.string() + "|user|moved|copied");
    EXPECT_EQ(readBytes(user / "PressoryActivity.db"), "database");
    EXPECT_EQ(readBytes(user / "PressoryActivity.db-wal"), "log");

    // The per-user database was closed cleanly (its log is gone): the old
    // log beside the program does not come over onto it.
    fs::remove(user / "PressoryActivity.db-wal");
    EXPECT_EQ(choose(), user.string() + "|user");
    EXPECT_FALSE(fs::exists(user / "PressoryActivity.db-wal"));
}

TEST(FileFolderRule, OnlyAFolderThatCannotBeWrittenForGoodIsLeft) {
    EXPECT_EQ(folderAccessOf({}), FolderAccess::Writable);
    for (const int err : {EACCES, EPERM, EROFS})
        EXPECT_EQ(folderAccessOf({err, std::generic_category()}), FolderAccess::Refused) << err;
    for (const int err : {ENOSPC, EDQUOT, EIO, ENOENT})
        EXPECT_EQ(folderAccessOf({err, std::generic_category()}), FolderAccess::Passing) << err;

    // installed bin/, access, per-user folder holds files -> per-user folder
    EXPECT_FALSE(filesGoToUserFolder(FolderAccess::Writable, false, true));
    EXPECT_TRUE(filesGoToUserFolder(FolderAccess::Refused, false, false));
    EXPECT_FALSE(filesGoToUserFolder(FolderAccess::Passing, false, false));  // a full disk moves nothing
    EXPECT_TRUE(filesGoToUserFolder(FolderAccess::Passing, false, true));    // left before: stays left
    EXPECT_TRUE(filesGoToUserFolder(FolderAccess::Writable, true, false));
}

// A full disk or a quota is no reason to move: the files stay beside the
// program, and nothing is made in the per-user folder; once the program
// folder was left for good, a full disk does not bring the files back.
TEST_F(FileFolder, AFullDiskMovesNothing) {
    writeBytes(program / "PressoryHistory.csv", "history\r\n");
    for (const int err : {ENOSPC, EDQUOT, EIO}) {
        EXPECT_EQ(describe(chooseFileFolder(program.string(), user.string(), kCarried, answering(err))),
                  program.string() + "|program")
            << err;
    }
    EXPECT_FALSE(fs::exists(user));

    EXPECT_EQ(describe(chooseFileFolder(program.string(), user.string(), kCarried, answering(EACCES))),
              user.string() + "|user|moved|copied");
    EXPECT_EQ(describe(chooseFileFolder(program.string(), user.string(), kCarried, answering(ENOSPC))),
              user.string() + "|user");
    EXPECT_EQ(describe(chooseFileFolder(program.string(), user.string(), kCarried, answering(EROFS))),
              user.string() + "|user");
}

// A copy that starts in a read-only folder without files of its own is told
// once as well; an installed program, whose files always live per user, never.
TEST_F(FileFolder, TheMoveIsToldOnce) {
    EXPECT_EQ(describe(chooseFileFolder(program.string(), user.string(), kCarried, answering(EPERM))),
              user.string() + "|user|moved");
    writeBytes(user / "Pressory.ini", "[FILE]\r\n");  // written when that copy closed
    EXPECT_EQ(describe(chooseFileFolder(program.string(), user.string(), kCarried, answering(EPERM))),
              user.string() + "|user");

    const fs::path bin = top.path() / "usr" / "bin";
    fs::create_directories(bin);
    fs::create_directories(top.path() / "usr" / "share" / "pressory");
    const fs::path other = top.path() / "other";
    EXPECT_EQ(describe(chooseFileFolder(bin.string(), other.string(), kCarried, answering(EACCES))),
              other.string() + "|user");
}

TEST_F(FileFolder, AnInstalledProgramNeverWritesBesideItself) {
    // bin/ with share/pressory beside it; writable here, since the tests may run as root.
    const fs::path bin = top.path() / "usr" / "bin";
    fs::create_directories(bin);
    fs::create_directories(top.path() / "usr" / "share" / "pressory");
    const FileFolderChoice c = chooseFileFolder(bin.string(), user.string(), kCarried);
    EXPECT_EQ(c.folder, user.string());
    EXPECT_TRUE(c.perUser);
    // A bin/ folder of one's own, with no share/pressory beside it, is just a folder.
    fs::remove(top.path() / "usr" / "share" / "pressory");
    EXPECT_EQ(chooseFileFolder(bin.string(), user.string(), kCarried).folder, bin.string());
}

TEST_F(FileFolder, WithoutAUsableUserFolderTheProgramFolderStays) {
    makeReadOnly(program);
    writeBytes(top.path() / "home" / "file", "");
    user = top.path() / "home" / "file" / "Pressory";  // under a file: cannot be made
    EXPECT_EQ(chooseUnprivileged(), program.string() + "|program");
    user = fs::path();
    EXPECT_EQ(chooseUnprivileged(), program.string() + "|program");
}
