#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "settings/profile_file.h"
#include "support/temp_folder.h"

using namespace pressory::settings::profile;
namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) { return pressory::test::readBytes(p); }
void spit(const fs::path& p, const std::string& bytes) { pressory::test::writeBytes(p, bytes); }

class ProfileFileTest : public ::testing::Test {
protected:
    pressory::test::TempFolder folder{"pressory-profile-"};
    fs::path dir = folder.path();
    std::string file = (dir / "Pressory.ini").string();
};

TEST(ProfileRead, NamesValuesSectionsAndLineEnds) {
    const ProfileDocument doc(
        "\xEF\xBB\xBF; comment\r\n"
        "top=before any section\r\n"
        "  [ Sound ] ; key sounds [see below]\r\n"
        "  KeY65  =   \"C:\\a b.wav\"  \r\n"
        "key66='single'\n"
        "Key67=\"unmatched'\r"
        "Key68=first\r\n"
        "key68=second\r\n"
        ";Key69=commented\r\n"
        "Key70\r\n"
        "Key71=\r\n"
        "Key72= a = b \r\n"
        "Key74=\"\"\r\n"
        "[SOUND]\r\n"
        "Key73=in the second SOUND\r\n"
        "[Color\r\n"
        "x=1");
    const struct {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    } cases[] = {
        {"sound", "key65", "C:\\a b.wav"},   // case, blanks and quotes
        {"SOUND", "Key66", "single"},        // single quotes, LF line end
        {"SOUND", "Key67", "\"unmatched'"},  // quotes that do not match stay
        {"SOUND", "Key68", "first"},         // CR line end before it; the first of two keys
        {"SOUND", "Key69", std::nullopt},    // comment
        {"SOUND", "Key70", std::nullopt},    // no "="
        {"SOUND", "Key71", ""},
        {"SOUND", "Key72", "a = b"},  // only the first "=" separates
        {"SOUND", "Key74", ""},
        {"SOUND", "Key73", std::nullopt},  // only the first of two equal sections is consulted
        {" color ", "X", "1"},             // missing "]", no line end at the end of the file
        {"", "top", "before any section"},
        {"", "; comment", std::nullopt},
        {"FILE", "x", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(doc.value(c.section, c.key), c.expected) << c.section << "/" << c.key;
        EXPECT_EQ(doc.values(c.section, std::vector<std::string>{"none", c.key, c.key})[1], c.expected);
    }
    const std::vector<std::optional<std::string>> several{"first", std::nullopt, "C:\\a b.wav", "single", "first"};
    EXPECT_EQ(doc.values("SOUND", std::vector<std::string>{"key68", "Key69", "KEY65", "Key66", " KEY68 "}), several);
    EXPECT_EQ(doc.readText("SOUND", "Key69"), "");
    EXPECT_EQ(ProfileDocument().value("", "x"), std::nullopt);
}

TEST(ProfileRead, Integers) {
    const std::int32_t kMax = 2147483647, kMin = -2147483647 - 1;
    const struct {
        const char* text;
        std::int32_t expected;
    } cases[] = {
        {"", 7},
        {"   ", 7},
        {"  -12abc", -12},
        {"+5", 5},
        {"abc", 0},
        {"-", 0},
        {"0x10", 0},
        {"12 34", 12},
        {"-2147483633", -2147483633},
        {"2147483647", kMax},
        {"2147483648", kMax},
        {"-2147483648", kMin},
        {"99999999999999999999999", kMax},
        {"18446744073709551617", kMax},
        {"-99999999999999999999999", kMin},
    };
    for (const auto& c : cases) EXPECT_EQ(parseProfileInt(c.text, 7), c.expected) << '"' << c.text << '"';

    const ProfileDocument doc("[A]\r\nempty=\r\nquoted=\" 42 \"\r\nneg= -1\r\n");
    EXPECT_EQ(doc.readInt("A", "missing", 9), 9);
    EXPECT_EQ(doc.readInt("A", "empty", 9), 9);
    EXPECT_EQ(doc.readInt("A", "quoted", 9), 42);
    EXPECT_EQ(doc.readInt("a", "NEG", 9), -1);
}

TEST(ProfileWrite, EditsKeepEveryOtherByte) {
    const struct {
        std::string before;
        const char* section;
        const char* key;
        std::string value;
        std::string after;
    } cases[] = {
        // In place: the line keeps its own key text, its line end and the file's other lines.
        {"; top\r\n[Sound]\r\n  KEY65 = old.wav ; x\r\nKey66=b\n[COLOR]\rColorTextBoxBlink=255\r", "SOUND", "key65",
         "new.wav", "; top\r\n[Sound]\r\n  KEY65 =new.wav\r\nKey66=b\n[COLOR]\rColorTextBoxBlink=255\r"},
        {"; top\r\n[Sound]\r\nKey66=b\n[COLOR]\rColorTextBoxBlink=255\r", " color ", "COLORTEXTBOXBLINK", "0",
         "; top\r\n[Sound]\r\nKey66=b\n[COLOR]\rColorTextBoxBlink=0\r"},
        {"[A]\nKey1=\"a b\"\n", "A", "Key1", "c", "[A]\nKey1=c\n"},
        {"[A]\nk=1\nk=2\n", "A", "k", "9", "[A]\nk=9\nk=2\n"},
        // Added after the section's last key, before its blank line; the later equal section is left alone.
        {"[A]\r\nx=1\r\n; note\r\n\r\n[B]\r\ny=2\r\n[a]\r\nk=old\r\n", "A", "k", "new",
         "[A]\r\nx=1\r\nk=new\r\n; note\r\n\r\n[B]\r\ny=2\r\n[a]\r\nk=old\r\n"},
        {"[A]\r\n;only a comment\r\n[B]\r\n", "A", "k", "v", "[A]\r\nk=v\r\n;only a comment\r\n[B]\r\n"},
        // A last line without a line end gets one first.
        {"[A]", "A", "k", "v", "[A]\r\nk=v\r\n"},
        {"[A]\r\nx=1", "A", "k", "v", "[A]\r\nx=1\r\nk=v\r\n"},
        {"[A]\r\nx=1", "B", "k", "v", "[A]\r\nx=1\r\n[B]\r\nk=v\r\n"},
        {"[A]\rx=1\r", "B", "k", "v", "[A]\rx=1\r[B]\r\nk=v\r\n"},
        {"", "FILE", "FileHistoryMaxRow", "1", "[FILE]\r\nFileHistoryMaxRow=1\r\n"},
        {"\xEF\xBB\xBF[A]\r\n", "", "k", "v", "\xEF\xBB\xBFk=v\r\n[A]\r\n"},
        // Values that would lose blanks or quotes are quoted.
        {"[A]\r\n", "A", "k", " padded ", "[A]\r\nk=\" padded \"\r\n"},
        {"[A]\r\n", "A", "k", "\"q\"", "[A]\r\nk=\"\"q\"\"\r\n"},
        {"[A]\r\n", "A", "k", "'", "[A]\r\nk='\r\n"},
        // What cannot be stored leaves the bytes alone.
        {"[A]\r\nk=1\r\n", "A", "k", "a\r\n[B]", "[A]\r\nk=1\r\n"},
        {"[A]\r\nk=1\r\n", "A", "k=", "2", "[A]\r\nk=1\r\n"},
        {"[A]\r\nk=1\r\n", "A]", "k", "2", "[A]\r\nk=1\r\n"},
        {"[A]\r\nk=1\r\n", "A", " ", "2", "[A]\r\nk=1\r\n"},
        {"[A]\r\nk=1\r\n", "A", ";k", "2", "[A]\r\nk=1\r\n"},
        {"", "", "\xEF\xBB\xBFk", "2", ""},  // would read as a byte order mark
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before + " | " + c.section + "/" + c.key + "=" + c.value);
        const std::string after = withValue(c.before, c.section, c.key, c.value);
        EXPECT_EQ(after, c.after);
        if (after == c.before) continue;
        EXPECT_EQ(ProfileDocument(after).value(c.section, c.key), c.value);
        EXPECT_EQ(withValue(after, c.section, c.key, c.value), after);  // a second write changes nothing
    }
}

TEST_F(ProfileFileTest, WriteCreatesUpdatesAndKeepsTheFile) {
    EXPECT_EQ(readText(file, "COLOR", "PictureBackGround"), "");
    EXPECT_EQ(readInt(file, "COLOR", "ColorTextBoxBlink", 255), 255);
    ASSERT_TRUE(writeText(file, "COLOR", "PictureBackGround", "/home/u/背景.bmp"));
    EXPECT_EQ(slurp(file), "[COLOR]\r\nPictureBackGround=/home/u/背景.bmp\r\n");

    const std::string edited = "; mine\n[color]\npicturebackground = x\n\n[SOUND]\nKey65=a.wav\n";
    spit(file, edited);
#ifndef _WIN32
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
#endif
    ASSERT_TRUE(writeText(file, "SOUND", "Key65", "b.wav"));
    EXPECT_EQ(slurp(file), "; mine\n[color]\npicturebackground = x\n\n[SOUND]\nKey65=b.wav\n");
#ifndef _WIN32
    // The mode bits of the replaced file are kept (POSIX only: Windows has none).
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
#endif
    EXPECT_EQ(readText(file, "Sound", "KEY65"), "b.wav");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);  // no temporary left

#ifndef _WIN32
    // Through a symbolic link the linked file changes and the link stays.
    const fs::path link = dir / "link.ini";
    fs::create_symlink(file, link);
    ASSERT_TRUE(writeText(link.string(), "SOUND", "Key65", "c.wav"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readText(file, "SOUND", "Key65"), "c.wav");
#endif

    EXPECT_FALSE(writeText(dir.string(), "A", "k", "v"));                     // a folder
    EXPECT_FALSE(writeText((dir / "no" / "x.ini").string(), "A", "k", "v"));  // no such folder
    EXPECT_FALSE(writeText(file, "A", "k", "two\nlines"));
    EXPECT_EQ(readText((dir / "missing.ini").string(), "A", "k"), "");
}

TEST_F(ProfileFileTest, TheFileIsReplacedWholeOnceAndOnlyWhenItChanges) {
    spit(file, "[A]\r\nk=1\r\n");
    std::vector<std::string> replaced;
    const pressory::files::ReplaceFile replace = [&](const std::string& path, std::string_view bytes) {
        replaced.push_back(path);
        EXPECT_NE(slurp(file), bytes);  // still the old file
        return pressory::files::replaceWithoutSync(path, bytes);
    };
    const KeyValue three[] = {{"A", "k", "2"}, {"B", "x", "y"}, {"A", "j", " z "}};
    ASSERT_TRUE(writeValues(file, three, replace));
    EXPECT_EQ(replaced, std::vector<std::string>{file});
    EXPECT_EQ(slurp(file), "[A]\r\nk=2\r\nj=\" z \"\r\n[B]\r\nx=y\r\n");
    ASSERT_TRUE(writeValues(file, three, replace));  // the same values: nothing to write
    EXPECT_EQ(replaced.size(), 1u);

    // A value that cannot be stored is left out and reported; the rest is written.
    const KeyValue mixed[] = {{"A", "k", "3"}, {"A", "bad", "two\nlines"}};
    EXPECT_FALSE(writeValues(file, mixed, replace));
    EXPECT_EQ(replaced.size(), 2u);
    EXPECT_EQ(readText(file, "A", "k"), "3");
    EXPECT_EQ(readText(file, "A", "bad"), "");

    // A failed replacement is reported and leaves the file as it was.
    const std::string before = slurp(file);
    EXPECT_FALSE(writeText(file, "A", "k", "4", [](const std::string&, std::string_view) {
        return std::make_error_code(std::errc::no_space_on_device);
    }));
    EXPECT_EQ(slurp(file), before);
}

TEST_F(ProfileFileTest, StaleTemporaryFilesOfTheProgramAreRemovedAndNothingElse) {
    EXPECT_FALSE(removeStaleTemporary(file));  // nothing there
    const std::string ours[] = {file + ".new~", file + ".new~aZ09xQ"};
    const std::string others[] = {file + ".new~abc",
                                  file + ".new~ABCDEFG",
                                  file + ".new~ab.cde",
                                  file + ".old~",
                                  (dir / "Other.ini.new~ABCDEF").string(),
                                  file};
    for (const auto& f : ours) spit(f, "[A]\r\nk=half");
    for (const auto& f : others) spit(f, "kept");
    fs::create_directory(file + ".new~Folder");  // not a file: left alone
    EXPECT_FALSE(removeStaleTemporary(file));
    for (const auto& f : ours) EXPECT_FALSE(fs::exists(f)) << f;
    for (const auto& f : others) EXPECT_EQ(slurp(f), "kept") << f;
    EXPECT_TRUE(fs::is_directory(file + ".new~Folder"));

    // Only what `own` says is this user's goes.
    spit(ours[1], "half");
    removeStaleTemporary(file, [](const std::string&) { return false; });
    EXPECT_TRUE(fs::exists(ours[1]));
    fs::remove(ours[1]);

#ifndef _WIN32
    // Through a link the temporary files lie beside the linked file.
    const fs::path real = dir / "real.ini";
    const fs::path link = dir / "Pressory-link.ini";
    spit(real, "");
    fs::create_symlink(real, link);
    spit(real.string() + ".new~123456", "half");
    EXPECT_FALSE(removeStaleTemporary(link.string()));
    EXPECT_FALSE(fs::exists(real.string() + ".new~123456"));

    // A symbolic link under a temporary name is neither followed nor removed.
    const fs::path victim = dir / "victim";
    spit(victim, "victim");
    fs::create_symlink(victim, file + ".new~");
    fs::create_symlink(victim, file + ".new~LINKED");
    EXPECT_FALSE(removeStaleTemporary(file));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(file + ".new~")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(file + ".new~LINKED")));
    EXPECT_EQ(slurp(victim), "victim");
#endif
}

#ifndef _WIN32
// Runs `body` and fails instead of hanging when it waits on the pipe at `fifo`
// (a reader or writer opened here releases it).
template <class Body>
void withoutWaitingOn(const std::string& fifo, Body body) {
    auto pending = std::async(std::launch::async, body);
    if (pending.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return pending.get();
    const int r = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    const int w = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    pending.wait();
    ::close(r);
    ::close(w);
    FAIL() << "waited on the pipe " << fifo;
}

TEST_F(ProfileFileTest, APipeIsNeitherReadNorReplacedAndAPipeLeftAsTemporaryIsNotWaitedOn) {
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    withoutWaitingOn(file, [&] {
        EXPECT_EQ(readInt(file, "FILE", "FileHistoryMaxRow", 1), 1);
        EXPECT_FALSE(writeText(file, "FILE", "FileHistoryMaxRow", "2"));
    });
    EXPECT_TRUE(fs::is_fifo(file));

    fs::remove(file);
    const std::string temp = file + ".new~";
    ASSERT_EQ(::mkfifo(temp.c_str(), 0600), 0);
    withoutWaitingOn(temp, [&] { EXPECT_TRUE(writeText(file, "FILE", "FileHistoryMaxRow", "2")); });
    EXPECT_EQ(slurp(file), "[FILE]\r\nFileHistoryMaxRow=2\r\n");
    EXPECT_TRUE(fs::is_fifo(temp));  // not ours to remove while the program runs
}
#endif

TEST_F(ProfileFileTest, AnyBytesReadInLinearTime) {
    std::mt19937 rng(7);
    std::string bytes = "[SOUND]\r\nKey1=" + std::string(10'000'000, 'x') + "\r\n";  // a 10 MB line
    bytes += std::string(10'000'000, '=') + "\n";                                    // a 10 MB key name
    bytes += std::string("\0\0[\0]\r\n=\0\n", 10);
    const char alphabet[] = "[]=;\r\n \"'\0aAkK";
    for (int i = 0; i < 2'000'000; ++i) bytes += alphabet[rng() % (sizeof alphabet)];  // NUL included
    for (int i = 0; i < 200'000; ++i) bytes += "[s" + std::to_string(i % 1000) + "]\nk" + std::to_string(i) + "=1\n";
    bytes += "\xFF\xFE\x80\r\n[COLOR]\r\nColorTextBoxBlink=65280\r\n";
    spit(file, bytes);

    const auto start = std::chrono::steady_clock::now();
    const ProfileDocument doc = ProfileDocument::load(file);
    EXPECT_EQ(doc.readText("sound", "key1").size(), 10'000'000u);
    // Many keys of a section are found in one pass over it, not one pass per key.
    std::vector<std::string> keys;
    for (int k = 0; k < 256; ++k) keys.push_back("Key" + std::to_string(k));
    const auto passStart = std::chrono::steady_clock::now();
    EXPECT_EQ(doc.value("SOUND", "absent"), std::nullopt);
    const auto onePass = std::chrono::steady_clock::now() - passStart;
    EXPECT_EQ(doc.values("SOUND", keys)[1].value_or("").size(), 10'000'000u);
    EXPECT_LT(std::chrono::steady_clock::now() - passStart - onePass, onePass * 20 + std::chrono::milliseconds(50));
    EXPECT_EQ(doc.readInt("COLOR", "ColorTextBoxBlink", 0), 65280);
    EXPECT_EQ(doc.readText("s999", "k999"), "1");
    EXPECT_EQ(doc.readText("s999", "k1999"), "");  // in a repeated section
    std::string edited = withValue(doc.bytes(), "COLOR", "ColorTextBoxBlink", "255");
    EXPECT_EQ(ProfileDocument(std::move(edited)).readInt("COLOR", "ColorTextBoxBlink", 0), 255);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(120));  // quadratic work would take hours
}

}  // namespace
