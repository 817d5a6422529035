// Where the Win32 updater keeps its profile for a user who may not write the
// Windows directory, as plain logic over what the host found out.
#include <gtest/gtest.h>

#include "framework/profile_place.h"

namespace {

constexpr const char* kUserFile = "C:\\Users\\op\\AppData\\Roaming\\Brevan\\Brevan.INI";

TEST(ProfilePlace, UserFolderPathIsProgramFolderAndFileUnderApplicationData) {
  EXPECT_EQ(fw::UserProfilePath("C:\\Users\\op\\AppData\\Roaming", "Brevan.INI"), kUserFile);
  EXPECT_EQ(fw::UserProfilePath("C:\\Users\\op\\AppData\\Roaming\\", "Brevan.INI"), kUserFile);
  // A renamed program file keeps its own name in both places, as in the Windows directory.
  EXPECT_EQ(fw::UserProfilePath("D:\\data", "Brevan2.INI"), "D:\\data\\Brevan2\\Brevan2.INI");
  EXPECT_EQ(fw::UserProfilePath("D:\\data", "NoDot"), "D:\\data\\NoDot\\NoDot");
  EXPECT_EQ(fw::UserProfilePath("", "Brevan.INI"), "");
  EXPECT_EQ(fw::UserProfilePath("\\", "Brevan.INI"), "");
}

TEST(ProfilePlace, WindowsDirectoryIsKeptWhereItCanBeWritten) {
  const fw::ProfileLocation l = fw::ChooseProfileLocation("Brevan.INI", kUserFile, false, true);
  EXPECT_EQ(l.file, "Brevan.INI");
  EXPECT_EQ(l.readWhileMissing, "");
}

TEST(ProfilePlace, UnwritableWindowsDirectoryWritesTheUserFileAndReadsTheOldOneUntilThen) {
  const fw::ProfileLocation l = fw::ChooseProfileLocation("Brevan.INI", kUserFile, false, false);
  EXPECT_EQ(l.file, kUserFile);
  EXPECT_EQ(l.readWhileMissing, "Brevan.INI");
}

TEST(ProfilePlace, AnExistingUserFileIsReadFirstAndKeptEvenWhereTheWindowsDirectoryIsWritable) {
  for (const bool windowsWritable : {false, true}) {
    const fw::ProfileLocation l = fw::ChooseProfileLocation("Brevan.INI", kUserFile, true, windowsWritable);
    EXPECT_EQ(l.file, kUserFile) << windowsWritable;
    EXPECT_EQ(l.readWhileMissing, "") << windowsWritable;
  }
}

TEST(ProfilePlace, WithoutAUserFolderTheWindowsDirectoryIsAllThereIs) {
  const fw::ProfileLocation l = fw::ChooseProfileLocation("Brevan.INI", "", false, false);
  EXPECT_EQ(l.file, "Brevan.INI");
  EXPECT_EQ(l.readWhileMissing, "");
}

}  // namespace
