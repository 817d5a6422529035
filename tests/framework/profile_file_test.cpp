// CProfile over a real file: natively the POSIX backend, under Wine the
// platform's private-profile calls.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "framework/profile.h"
#ifdef _WIN32
#include "framework/win32/profile_place_win32.h"
#endif
#include "support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

class ProfileFile : public ::testing::Test {
 protected:
  std::string Path() const { return m_dir.File("Test.INI"); }
  fw::CProfile Profile() const { return fw::CProfile::AtFile(Path()); }
  std::string Contents() const {
    const std::vector<std::uint8_t> bytes = ReadFile(Path());
    return {bytes.begin(), bytes.end()};
  }
  std::vector<std::string> DirectoryEntries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(m_dir.Path())) names.push_back(e.path().filename().string());
    return names;
  }
  testing_support::TempDir m_dir;
};

TEST_F(ProfileFile, StringsAndIntegersRoundTrip) {
  const fw::CProfile p = Profile();
  ASSERT_TRUE(p.WriteProfileString("Port", "Name", "COM3"));
  ASSERT_TRUE(p.WriteProfileInt("Port", "Rate", 115200));
  ASSERT_TRUE(p.WriteProfileInt("Port", "Offset", -12));
  ASSERT_TRUE(p.WriteProfileString("Net", "Apn", "cmnet.example"));
  EXPECT_EQ(p.GetProfileString("Port", "Name", "x"), "COM3");
  EXPECT_EQ(p.GetProfileInt("Port", "Rate", 0), 115200);
  EXPECT_EQ(p.GetProfileInt("Port", "Offset", 0), -12);
  EXPECT_EQ(p.GetProfileString("Net", "Apn", ""), "cmnet.example");
}

#ifndef _WIN32
// The POSIX file is UTF-8 throughout. (Windows keeps a new file in the ANSI
// code page, so there only that code page's characters survive.)
TEST_F(ProfileFile, NonAsciiTextRoundTrips) {
  const fw::CProfile p = Profile();
  ASSERT_TRUE(p.WriteProfileString("网络", "接入点", "中文接入点"));
  EXPECT_EQ(p.GetProfileString("网络", "接入点", ""), "中文接入点");
}
#endif

TEST_F(ProfileFile, OverwriteKeepsOneValue) {
  const fw::CProfile p = Profile();
  ASSERT_TRUE(p.WriteProfileString("s", "k", "one"));
  ASSERT_TRUE(p.WriteProfileString("s", "k", "two"));
  EXPECT_EQ(p.GetProfileString("s", "k", ""), "two");
}

TEST_F(ProfileFile, MissingFileGivesDefaults) {
  const fw::CProfile p = Profile();
  EXPECT_EQ(p.GetProfileString("s", "k", "fallback"), "fallback");
  EXPECT_EQ(p.GetProfileInt("s", "k", 77), 77);
  EXPECT_FALSE(std::filesystem::exists(Path()));
}

TEST_F(ProfileFile, MissingKeyOrSectionGivesDefaults) {
  WriteFile(Path(), std::string_view("[s]\nk=1\n"));
  const fw::CProfile p = Profile();
  EXPECT_EQ(p.GetProfileString("s", "other", "d"), "d");
  EXPECT_EQ(p.GetProfileString("t", "k", "d"), "d");
  EXPECT_EQ(p.GetProfileInt("t", "k", -5), -5);
}

TEST_F(ProfileFile, BinaryJunkGivesDefaults) {
  std::vector<std::uint8_t> junk;
  for (int i = 0; i < 8192; ++i) junk.push_back(static_cast<std::uint8_t>((i * 131 + 7) & 0xFF));
  WriteFile(Path(), junk);
  const fw::CProfile p = Profile();
  EXPECT_EQ(p.GetProfileString("s", "k", "d"), "d");
  EXPECT_EQ(p.GetProfileInt("s", "k", 3), 3);
}

TEST_F(ProfileFile, LineWithoutEqualsIsSkipped) {
  WriteFile(Path(), std::string_view("[s]\nno equals here\nk=v\n"));
  const fw::CProfile p = Profile();
  EXPECT_EQ(p.GetProfileString("s", "k", "d"), "v");
  EXPECT_EQ(p.GetProfileString("s", "no equals here", "d"), "d");
}

TEST_F(ProfileFile, HugeLinesAreSurvived) {
  std::string text = "[s]\n";
  text += std::string(200000, 'j');
  text += "\nbig=";
  const std::string big(100000, 'v');
  text += big;
  text += "\nk=v\n";
  WriteFile(Path(), text);
  const fw::CProfile p = Profile();
  EXPECT_EQ(p.GetProfileString("s", "k", "d"), "v");
  EXPECT_EQ(p.GetProfileString("s", "big", "d"), big);
}

TEST_F(ProfileFile, SectionAndKeyNamesIgnoreCase) {
  const fw::CProfile p = Profile();
  ASSERT_TRUE(p.WriteProfileString("Settings", "LastPort", "COM4"));
  EXPECT_EQ(p.GetProfileString("SETTINGS", "lastport", ""), "COM4");
  ASSERT_TRUE(p.WriteProfileInt("settings", "LASTPORT", 5));
  EXPECT_EQ(p.GetProfileInt("Settings", "LastPort", 0), 5);
}

TEST_F(ProfileFile, NonNumericValueReadsAsZeroAndDigitsLead) {
  WriteFile(Path(), std::string_view("[s]\nword=abc\nmixed=42abc\nsigned=-9\nempty=\n"));
  const fw::CProfile p = Profile();
  EXPECT_EQ(p.GetProfileInt("s", "word", 7), 0);
  EXPECT_EQ(p.GetProfileInt("s", "mixed", 7), 42);
  EXPECT_EQ(p.GetProfileInt("s", "signed", 7), -9);
  EXPECT_EQ(p.GetProfileInt("s", "empty", 7), 7);
}

TEST_F(ProfileFile, WritingKeepsOtherSectionsKeysAndComments) {
  WriteFile(Path(), std::string_view("; kept comment\n[a]\nx=1\ny=2\n[b]\nz=3\n"));
  const fw::CProfile p = Profile();
  ASSERT_TRUE(p.WriteProfileString("a", "x", "changed"));
  ASSERT_TRUE(p.WriteProfileString("c", "n", "new"));
  EXPECT_EQ(p.GetProfileString("a", "x", ""), "changed");
  EXPECT_EQ(p.GetProfileString("a", "y", ""), "2");
  EXPECT_EQ(p.GetProfileString("b", "z", ""), "3");
  EXPECT_EQ(p.GetProfileString("c", "n", ""), "new");
  EXPECT_NE(Contents().find("; kept comment"), std::string::npos) << Contents();
}

TEST_F(ProfileFile, WritesLeaveNoTemporaryFiles) {
  const fw::CProfile p = Profile();
  for (int i = 0; i < 20; ++i) {
    std::string key = "k";
    key += std::to_string(i % 3);
    ASSERT_TRUE(p.WriteProfileInt("s", key, i));
  }
  EXPECT_EQ(DirectoryEntries(), std::vector<std::string>{"Test.INI"});
  EXPECT_EQ(p.GetProfileInt("s", "k1", -1), 19);
}

#ifndef _WIN32
// The platform's call makes no folders on Windows; the programs' bare names never need them.
TEST_F(ProfileFile, MissingDirectoriesAreCreatedOnWrite) {
  std::string path = m_dir.File("a");
  path += "/b/Deep.INI";
  const fw::CProfile p = fw::CProfile::AtFile(path);
  ASSERT_TRUE(p.WriteProfileString("s", "k", "v"));
  EXPECT_EQ(p.GetProfileString("s", "k", ""), "v");
}
#endif

#ifdef _WIN32
TEST(ProgramProfile, BareNameLivesInTheWindowsDirectory) {
  std::mt19937_64 rng(std::random_device{}());
  std::string program = "FwTest";
  program += std::to_string(rng() % 1000000000u);
  const fw::CProfile p = fw::CProfile::ForProgram(program);
  std::string file = program;
  file += ".INI";
  EXPECT_EQ(p.FileName(), file);
  ASSERT_TRUE(p.WriteProfileInt("s", "k", 31));
  const std::filesystem::path where = p.FilePath();
  EXPECT_TRUE(std::filesystem::exists(where)) << p.FilePath();
  EXPECT_EQ(p.GetProfileInt("s", "k", 0), 31);
  std::error_code ec;
  std::filesystem::remove(where, ec);
  EXPECT_FALSE(std::filesystem::exists(where));
}

// A profile placed in the user's folder reads the stand-in until its own file
// exists; its first write makes the folder, and the stand-in is left alone.
TEST_F(ProfileFile, PlacedProfileReadsTheStandInUntilItsOwnFileExists) {
  const std::string standIn = m_dir.File("Old.INI");
  ASSERT_TRUE(fw::CProfile::AtFile(standIn).WriteProfileString("TRX4800update", "Serial Port", "COM7"));
  const std::string own = m_dir.File("User") + "\\User.INI";
  const fw::CProfile p = fw::CProfile::Placed({own, standIn});
  EXPECT_EQ(p.FileName(), own);
  EXPECT_EQ(p.GetProfileString("TRX4800update", "Serial Port", ""), "COM7");
  ASSERT_TRUE(p.WriteProfileString("TRX4800update", "Serial Port", "COM2"));
  EXPECT_TRUE(std::filesystem::is_regular_file(own));
  EXPECT_EQ(p.GetProfileString("TRX4800update", "Serial Port", ""), "COM2");
  EXPECT_EQ(fw::CProfile::AtFile(standIn).GetProfileString("TRX4800update", "Serial Port", ""), "COM7");
}

// The Windows directory tried for real: kept while it takes the file; a
// directory of the profile's name in the way sends it to the user's folder.
TEST(ProgramProfile, PlacedInTheUserFolderWhenTheWindowsDirectoryRefusesTheFile) {
  std::mt19937_64 rng(std::random_device{}());
  const std::string program = "FwPlaced" + std::to_string(rng() % 1000000000u);
  const std::string module = "C:\\Programs\\" + program + ".exe";
  const fw::CProfile writable = fw::win32::PlacedProgramProfile(module);
  EXPECT_EQ(writable.FileName(), program + ".INI");
  const std::filesystem::path inWindows = writable.FilePath();
  EXPECT_FALSE(std::filesystem::exists(inWindows)) << "the trial left a file behind";

  std::error_code ec;
  ASSERT_TRUE(std::filesystem::create_directory(inWindows, ec)) << inWindows.string();
  const fw::CProfile placed = fw::win32::PlacedProgramProfile(module);
  const std::string tail = "\\" + program + "\\" + program + ".INI";
  ASSERT_GT(placed.FileName().size(), tail.size());
  EXPECT_EQ(placed.FileName().substr(placed.FileName().size() - tail.size()), tail);
  EXPECT_TRUE(placed.WriteProfileInt("s", "k", 4));
  const std::filesystem::path userFile = placed.FileName();
  EXPECT_TRUE(std::filesystem::is_regular_file(userFile));
  EXPECT_EQ(fw::win32::PlacedProgramProfile(module).GetProfileInt("s", "k", 0), 4);

  // Once the user's file is there it stays the profile, even with the way clear again.
  std::filesystem::remove(inWindows, ec);
  EXPECT_EQ(fw::win32::PlacedProgramProfile(module).FileName(), placed.FileName());
  std::filesystem::remove_all(userFile.parent_path(), ec);
}
#endif

}  // namespace
