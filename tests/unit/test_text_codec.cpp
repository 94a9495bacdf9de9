// Code page 932 both ways, with one table for every platform: the Win32
// conversion must give the bytes that glibc's gives, so that a history file
// moves between Windows and Linux unchanged.
#include <gtest/gtest.h>

#include <string>

#include "platform/text_codec.h"

using namespace pressory::platform;

namespace {

struct Pair {
    const char* utf8;
    std::string cp932;
};

const Pair kPairs[] = {
    {"A,1.50\r\n", "A,1.50\r\n"},
    {"\\", "\x5C"},      // the backslash stays 0x5C, not the yen sign
    {"～", "\x81\x60"},  // WAVE DASH's place in CP932 is FULLWIDTH TILDE
    {"ログアウトの時刻", "\x83\x8D\x83\x4F\x83\x41\x83\x45\x83\x67\x82\xCC\x8E\x9E\x8D\x8F"},
    {"合計", "\x8D\x87\x8C\x76"},
    {"ｱｲ", "\xB1\xB2"},  // half-width katakana: one byte each
    {"①", "\x87\x40"},   // an NEC special character
    {"∥", "\x81\x61"},
    {"－", "\x81\x7C"},
};

}  // namespace

TEST(TextCodec, Cp932IsTheSameBytesOnEveryPlatform) {
    for (const Pair& p : kPairs) {
        EXPECT_EQ(utf8ToCp932(p.utf8), p.cp932) << p.utf8;
        EXPECT_EQ(cp932ToUtf8(p.cp932), std::string(p.utf8)) << p.utf8;
    }
    EXPECT_EQ(utf8ToCp932(""), std::string());
    EXPECT_EQ(cp932ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(TextCodec, WhatCannotBeConvertedIsRefusedNotGuessed) {
    EXPECT_FALSE(utf8ToCp932("😀"));                         // no such character in CP932
    EXPECT_FALSE(utf8ToCp932(std::string("a\xFF") + 'b'));  // not UTF-8
    EXPECT_FALSE(cp932ToUtf8("\x82"));                      // a lead byte without its trail
    // Shown from a file: the broken byte becomes U+FFFD and the rest is kept.
    EXPECT_EQ(cp932ToUtf8Lossy("A\x82"), "A\xEF\xBF\xBD");
    EXPECT_EQ(cp932ToUtf8Lossy(std::string("\x82\xA0") + 'B'), std::string("\xE3\x81\x82") + 'B');
}
