// The intermediate image file of load mode 1 on a shared temporary directory:
// a private file per conversion, never what others put under the old name.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "support/temp_dir.h"
#include "updater/image_bank/image_bank.h"

namespace {

namespace fs = std::filesystem;
using brevan::CHexImageConverter;
using brevan::CImageBank;
using brevan::FileStep;
using brevan::ImageFilePlace;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// One data record putting value at address 0x30.
std::string HexWith(std::uint8_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string(":01003000") + kDigits[value >> 4] + kDigits[value & 15] + "00\n:00000001FF\n";
}

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// TMPDIR points at dir for the test's length, so the default place is used.
class TemporaryDirectoryIs {
 public:
  explicit TemporaryDirectoryIs(const std::string& dir) {
    if (const char* v = std::getenv("TMPDIR")) m_saved = v;
    setenv("TMPDIR", dir.c_str(), 1);
  }
  ~TemporaryDirectoryIs() {
    if (m_saved) setenv("TMPDIR", m_saved->c_str(), 1); else unsetenv("TMPDIR");
  }

 private:
  std::optional<std::string> m_saved;
};

TEST(PrivateImageFile, WhatHasTheOldNameIsNeitherFollowedNorClobbered) {
  struct Row {
    const char* what;
    std::function<void(const fs::path& tmp, const fs::path& victim)> make;
  };
  const Row rows[] = {
      {"a link to another file", [](const fs::path& tmp, const fs::path& v) { fs::create_symlink(v, tmp / "pgm.isp"); }},
      {"a dangling link", [](const fs::path& tmp, const fs::path& v) { fs::create_symlink(v.string() + "-new", tmp / "pgm.isp"); }},
      {"another's file", [](const fs::path& tmp, const fs::path&) { WriteFile((tmp / "pgm.isp").string(), std::string_view("theirs")); }},
      {"a directory", [](const fs::path& tmp, const fs::path&) { fs::create_directory(tmp / "pgm.isp"); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    const fs::path tmp = dir.Path() / "tmp";
    fs::create_directory(tmp);
    const fs::path victim = dir.Path() / "victim";
    WriteFile(victim.string(), std::string_view("keep"));
    row.make(tmp, victim);
    const std::string chosen = dir.File("in.hex");
    WriteFile(chosen, HexWith(0x5A));
    const auto before = fs::symlink_status(tmp / "pgm.isp").type();

    TemporaryDirectoryIs tmpdir(tmp.string());
    auto bank = std::make_unique<CImageBank>();
    bank->PrepareSlots();
    ASSERT_TRUE(bank->LoadImageFromFile(chosen)) << bank->Problem().path << ": " << bank->Problem().cause;
    EXPECT_EQ(bank->SlotBytes(0)[0x30], 0x5A);
    EXPECT_EQ(ReadFile(victim.string()), std::vector<std::uint8_t>({'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(fs::exists(victim.string() + "-new"));
    EXPECT_EQ(fs::symlink_status(tmp / "pgm.isp").type(), before);
    if (before == fs::file_type::regular) {
      EXPECT_EQ(ReadFile((tmp / "pgm.isp").string()).size(), 6u);
    }
    EXPECT_EQ(Names(tmp), std::vector<std::string>{"pgm.isp"}) << "the image file is removed afterwards";
  }
}

TEST(PrivateImageFile, IsTheUsersAloneUniquelyNamedAndGoneAfterwards) {
  TempDir dir;
  const std::string chosen = dir.File("in.hex");
  WriteFile(chosen, HexWith(0x11));
  const mode_t saved = ::umask(0);  // the mode must not depend on a permissive umask
  CHexImageConverter converter(ImageFilePlace::PrivateIn(dir.Path().string()));
  const bool converted = converter.ConvertHexFile(chosen);
  ::umask(saved);
  ASSERT_TRUE(converted) << converter.Problem().cause;

  const fs::path made = converter.ImagePath();
  EXPECT_EQ(made.parent_path(), dir.Path());
  EXPECT_TRUE(made.filename().string().starts_with("pgm-")) << made;
  EXPECT_EQ(made.extension(), ".isp");
  struct stat st{};
  ASSERT_EQ(::lstat(made.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(st.st_uid, ::geteuid());
  EXPECT_EQ(ReadFile(made.string()).size(), CHexImageConverter::kImageSize);

  converter.RemoveImageFile();
  EXPECT_FALSE(fs::exists(made));
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"in.hex"});
}

TEST(PrivateImageFile, ConvertersRunningAtOnceKeepTheirOwnImages) {
  TempDir dir;
  constexpr int kThreads = 4;
  constexpr int kRounds = 40;
  std::vector<std::thread> threads;
  std::vector<int> wrong(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    const std::string chosen = dir.File("in" + std::to_string(t) + ".hex");
    WriteFile(chosen, HexWith(static_cast<std::uint8_t>(0x40 + t)));
    threads.emplace_back([&, t, chosen] {
      for (int r = 0; r < kRounds; ++r) {
        auto bank = std::make_unique<CImageBank>(ImageFilePlace::PrivateIn(dir.Path().string()));
        bank->PrepareSlots();
        if (!bank->LoadImageFromFile(chosen) || bank->SlotBytes(0)[0x30] != 0x40 + t) ++wrong[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong, std::vector<int>(kThreads, 0));
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"in0.hex", "in1.hex", "in2.hex", "in3.hex"}));
}

TEST(PrivateImageFile, NoImageFileIsLeftWhenAConversionFails) {
  struct Row {
    const char* what;
    std::string input;
    std::string directory;
    FileStep step;
  };
  TempDir dir;
  const Row rows[] = {
      // Opens, then fails on the first read (no page at address 0): after the image file was made.
      {"the firmware file fails to read", "/proc/self/mem", dir.Path().string(), FileStep::Read},
      {"the directory is missing", dir.File("in.hex"), dir.File("absent"), FileStep::Create},
  };
  WriteFile(dir.File("in.hex"), HexWith(1));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto bank = std::make_unique<CImageBank>(ImageFilePlace::PrivateIn(row.directory));
    bank->PrepareSlots();
    EXPECT_FALSE(bank->LoadImageFromFile(row.input));
    EXPECT_EQ(bank->Problem().step, row.step);
    EXPECT_FALSE(bank->Problem().cause.empty());
    EXPECT_EQ(bank->m_nLoadMode, -1);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"in.hex"});
  }
}

}  // namespace
#endif
