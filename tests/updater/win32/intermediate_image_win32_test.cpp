// Load mode 1 under Windows: the image file is "c:\pgm.isp" where that can be
// made, else a private file in the user's temporary directory; either way it
// is gone afterwards. Runs in the Wine prefix, whose drive_c is c:\.
#include <windows.h>

#include <gtest/gtest.h>

#include "framework/platform_paths.h"
#include "support/temp_dir.h"
#include "updater/image_bank/image_bank.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

bool Exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }
bool IsDirectory(const wchar_t* path) {
  const DWORD a = GetFileAttributesW(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

TEST(IntermediateImageWin32, UsesTheDriveRootWhereItCanAndTheTemporaryDirectoryWhereItCannot) {
  const wchar_t* fixed = L"c:\\pgm.isp";
  // Start from a clean root: a file left by an earlier program run, or an earlier test's directory.
  DeleteFileW(fixed);
  RemoveDirectoryW(fixed);
  ASSERT_FALSE(Exists(fixed));

  TempDir dir;
  const std::string chosen = dir.File("in.hex");
  WriteFile(chosen, std::string_view(":01003000A52A\n:00000001FF\n"));
  const std::string temp = fw::TemporaryDirectory();

  struct Row {
    const char* what;
    bool blockRoot;
  };
  for (const Row row : {Row{"c:\\ can take the file", false}, Row{"a directory pgm.isp stands at c:\\", true}}) {
    SCOPED_TRACE(row.what);
    if (row.blockRoot) {
      ASSERT_TRUE(CreateDirectoryW(fixed, nullptr));
    }
    brevan::CHexImageConverter converter;
    ASSERT_TRUE(converter.ConvertHexFile(chosen)) << converter.Problem().path << ": " << converter.Problem().cause;
    if (row.blockRoot) {
      EXPECT_EQ(converter.ImagePath().rfind(temp, 0), 0u) << converter.ImagePath() << " not in " << temp;
    } else {
      EXPECT_EQ(converter.ImagePath(), "c:\\pgm.isp");
    }
    converter.RemoveImageFile();

    auto bank = std::make_unique<brevan::CImageBank>();
    bank->PrepareSlots();
    ASSERT_TRUE(bank->LoadImageFromFile(chosen)) << bank->Problem().path << ": " << bank->Problem().cause;
    EXPECT_EQ(bank->m_nLoadMode, 1);
    EXPECT_EQ(bank->SlotBytes(0)[0x30], 0xA5);
    EXPECT_EQ(IsDirectory(fixed), row.blockRoot);
    EXPECT_EQ(Exists(fixed), row.blockRoot) << "the image file is removed afterwards";
    if (row.blockRoot) {
      EXPECT_TRUE(RemoveDirectoryW(fixed));
    }
  }
}

}  // namespace
