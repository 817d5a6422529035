// The INI text model: lookups, edits that keep everything else, integer
// reading and where the POSIX profile lives.
#include <gtest/gtest.h>

#include <string>

#include "framework/profile.h"

namespace {

namespace ini = fw::ini;

TEST(IniFind, ValueBySectionAndKeyTrimmed) {
  const std::string text = "[Port]\n  Com = 3 \r\nRate=115200\n[Other]\nCom=9\n";
  EXPECT_EQ(ini::Find(text, "Port", "Com"), "3");
  EXPECT_EQ(ini::Find(text, "Port", "Rate"), "115200");
  EXPECT_EQ(ini::Find(text, "Other", "Com"), "9");
  EXPECT_EQ(ini::Find(text, "Other", "Rate"), std::nullopt);
  EXPECT_EQ(ini::Find(text, "Absent", "Com"), std::nullopt);
}

TEST(IniFind, NamesIgnoreCase) {
  const std::string text = "[PoRt]\ncOm=5\n";
  EXPECT_EQ(ini::Find(text, "port", "COM"), "5");
  EXPECT_EQ(ini::Find(text, "PORT", "com"), "5");
}

TEST(IniFind, CommentsAndLinesWithoutEqualsHoldNoKeys) {
  const std::string text = "[s]\n;k=commented\njunk line\nk=real\n";
  EXPECT_EQ(ini::Find(text, "s", "k"), "real");
  EXPECT_EQ(ini::Find(text, "s", "junk line"), std::nullopt);
}

TEST(IniFind, KeysBeforeAnySectionBelongToNone) {
  EXPECT_EQ(ini::Find("k=1\n[s]\n", "s", "k"), std::nullopt);
  EXPECT_EQ(ini::Find("k=1\n[s]\n", "", "k"), std::nullopt);
}

TEST(IniFind, ByteOrderMarkIsSkipped) { EXPECT_EQ(ini::Find("\xEF\xBB\xBF[s]\nk=v\n", "s", "k"), "v"); }

TEST(IniFind, DamagedTextFindsNothing) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 131 + 7) & 0xFF);
  EXPECT_EQ(ini::Find(junk, "s", "k"), std::nullopt);
  EXPECT_EQ(ini::Find("[s", "s", "k"), std::nullopt);
  EXPECT_EQ(ini::Find("", "s", "k"), std::nullopt);
}

TEST(IniFind, HugeLinesAreRead) {
  const std::string big(1 << 20, 'x');
  std::string text = "[s]\n";
  text += big;
  text += "\nk=";
  text += big;
  text += '\n';
  EXPECT_EQ(ini::Find(text, "s", "k"), big);
}

TEST(IniSet, ReplacesValueInPlaceKeepingCommentsAndOrder) {
  const std::string text = "; settings\n[a]\nx=1\ny=2\n\n[b]\nx=3\n";
  EXPECT_EQ(ini::Set(text, "A", "X", "9"), "; settings\n[a]\nX=9\ny=2\n\n[b]\nx=3\n");
}

TEST(IniSet, NewKeyGoesAfterSectionsLastEntry) {
  const std::string text = "[a]\nx=1\n\n[b]\nx=3\n";
  EXPECT_EQ(ini::Set(text, "a", "z", "5"), "[a]\nx=1\nz=5\n\n[b]\nx=3\n");
  EXPECT_EQ(ini::Set(text, "b", "z", "5"), "[a]\nx=1\n\n[b]\nx=3\nz=5\n");
}

TEST(IniSet, NewKeyInSectionAtEndWithoutLineFeed) {
  EXPECT_EQ(ini::Set("[a]\nx=1", "a", "z", "5"), "[a]\nx=1\nz=5\n");
  EXPECT_EQ(ini::Set("[a]", "a", "z", "5"), "[a]\nz=5\n");
}

TEST(IniSet, NewSectionIsAppended) {
  EXPECT_EQ(ini::Set("", "s", "k", "v"), "[s]\nk=v\n");
  EXPECT_EQ(ini::Set("[a]\nx=1", "s", "k", "v"), "[a]\nx=1\n[s]\nk=v\n");
}

TEST(IniSet, ResultReadsBack) {
  std::string text;
  text = ini::Set(text, "s", "k", "value with spaces");
  text = ini::Set(text, "t", "k", "中文");
  text = ini::Set(text, "S", "K", "again");
  EXPECT_EQ(ini::Find(text, "s", "k"), "again");
  EXPECT_EQ(ini::Find(text, "t", "k"), "中文");
}

// A file saved with a byte order mark in front of its first section: the value is changed
// there, not shadowed by a second section that Find never reaches.
TEST(IniSet, SectionRightBehindByteOrderMark) {
  const std::string text = "\xEF\xBB\xBF[s]\nk=1\n";
  EXPECT_EQ(ini::Set(text, "s", "k", "2"), "\xEF\xBB\xBF[s]\nk=2\n");
  EXPECT_EQ(ini::Set(text, "s", "n", "3"), "\xEF\xBB\xBF[s]\nk=1\nn=3\n");
  EXPECT_EQ(ini::Set("\xEF\xBB\xBF[s]", "s", "k", "v"), "\xEF\xBB\xBF[s]\nk=v\n");
  EXPECT_EQ(ini::Find(ini::Set(text, "S", "K", "4"), "s", "k"), "4");
}

TEST(IniParseInt, LeadingDigitsWithOptionalSign) {
  EXPECT_EQ(ini::ParseInt("42"), 42);
  EXPECT_EQ(ini::ParseInt("-17"), -17);
  EXPECT_EQ(ini::ParseInt("+8"), 8);
  EXPECT_EQ(ini::ParseInt("12abc"), 12);
  EXPECT_EQ(ini::ParseInt("  7"), 7);
  EXPECT_EQ(ini::ParseInt("0x10"), 0);
}

TEST(IniParseInt, NonNumericIsZero) {
  EXPECT_EQ(ini::ParseInt("abc"), 0);
  EXPECT_EQ(ini::ParseInt("-"), 0);
  EXPECT_EQ(ini::ParseInt("- 5"), 0);
}

TEST(IniParseInt, TooManyDigitsWrapAtThirtyTwoBits) {
  EXPECT_EQ(ini::ParseInt("4294967295"), -1);
  EXPECT_EQ(ini::ParseInt("4294967296"), 0);
  EXPECT_EQ(ini::ParseInt("2147483647"), 2147483647);
}

TEST(ProfileFileName, BaseNameOfTheProgramFilePlusIni) {
  EXPECT_EQ(fw::ProfileFileName("C:\\Tools\\Brevan.exe"), "Brevan.INI");
  EXPECT_EQ(fw::ProfileFileName("/usr/bin/torvik"), "torvik.INI");
  EXPECT_EQ(fw::ProfileFileName("Brevan"), "Brevan.INI");
  EXPECT_EQ(fw::ProfileFileName("C:/a.b/Torvik.EXE"), "Torvik.INI");
}

TEST(ProfileDirectory, ConfigHomeThenHome) {
  EXPECT_EQ(fw::ProfileDirectory("Brevan", "/cfg", "/home/u"), "/cfg/Brevan");
  EXPECT_EQ(fw::ProfileDirectory("Brevan", "/cfg/", "/home/u"), "/cfg/Brevan");
  EXPECT_EQ(fw::ProfileDirectory("Brevan", nullptr, "/home/u"), "/home/u/.config/Brevan");
  // A relative config home is ignored, as the base-directory rules ask.
  EXPECT_EQ(fw::ProfileDirectory("Brevan", "rel", "/home/u/"), "/home/u/.config/Brevan");
  EXPECT_EQ(fw::ProfileDirectory("Brevan", "", nullptr), "");
}

}  // namespace
