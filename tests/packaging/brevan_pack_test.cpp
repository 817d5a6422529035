// brevan-pack end to end: the demo set packed onto a small fake program and
// loaded back by the updater's image bank, --replace and --list, and every
// refusal leaving the output exactly as it was.
#include "packaging/brevan_pack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "packaging/demo_firmware.h"
#include "support/temp_dir.h"
#include "updater/image_bank/image_bank.h"

using brevan::pack::MemoryImage;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

const std::vector<std::string> kVersions = {"591021",  "691021",  "7100412", "8091230", "9120220",
                                            "A120807", "C120220", "D120220", "W120220", "B120220"};
const std::vector<std::int32_t> kLengths = {24064, 19328, 23808, 19456, 21120, 24064, 16896, 25984, 21120, 21120};

struct CliResult {
  int code;
  std::string out;
  std::string err;
};

class BrevanPackTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string bare = dir.File("brevan-bare");
  std::string shipped = dir.File("brevan");
  std::vector<std::uint8_t> bareBytes;

  void SetUp() override {
    std::ostringstream sink;
    ASSERT_EQ(brevan::pack::RunMakeDemoFirmware(std::vector<std::string>{"--out", dir.Path().string()}, sink, sink),
              0);
    const std::string head = "fake bare updater program\n";
    bareBytes.assign(head.begin(), head.end());
    for (int i = 0; i < 3000; ++i) bareBytes.push_back(static_cast<std::uint8_t>(i * 7));
    WriteFile(bare, bareBytes);
  }

  std::vector<std::string> Images(const std::string& extension) const {
    std::vector<std::string> files;
    for (int k = 0; k < 10; ++k) files.push_back(dir.File(brevan::pack::DemoFileStem(k) + extension));
    return files;
  }

  static CliResult Run(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = brevan::pack::RunBrevanPack(args, out, err);
    return {code, out.str(), err.str()};
  }

  CliResult Pack(const std::string& program, const std::vector<std::string>& images, bool replace = false) const {
    std::vector<std::string> args = {"--program", program, "--out", shipped};
    if (replace) args.push_back("--replace");
    args.insert(args.end(), images.begin(), images.end());
    return Run(args);
  }

  std::unique_ptr<brevan::CImageBank> Load(const std::string& program) const {
    auto bank = std::make_unique<brevan::CImageBank>(dir.File("pgm.isp"));
    bank->m_strExePath = program;
    bank->PrepareSlots();
    EXPECT_TRUE(bank->FindImageBank());
    EXPECT_TRUE(bank->LoadImageBank());
    return bank;
  }
};

TEST_F(BrevanPackTest, PackedDemoSetLoadsBackSlotForSlot) {
  const CliResult r = Pack(bare, Images(".bin"));
  ASSERT_EQ(r.code, 0) << r.err;
  const auto file = ReadFile(shipped);
  ASSERT_EQ(file.size(), bareBytes.size() + 655360);
  EXPECT_TRUE(std::equal(bareBytes.begin(), bareBytes.end(), file.begin()));

  const auto bank = Load(shipped);
  EXPECT_EQ(bank->m_nOverlayOffset, static_cast<std::int32_t>(bareBytes.size()));
  const std::string label = "DEMO IMAGE - NOT REAL FIRMWARE";
  for (std::size_t k = 0; k < 10; ++k) {
    EXPECT_EQ(bank->m_strImageVersion[k], kVersions[k]) << "slot " << k;
    EXPECT_EQ(bank->m_nImageLength[k], kLengths[k]) << "slot " << k;
    const MemoryImage image = brevan::pack::MakeDemoImage(static_cast<int>(k));
    const auto& slot = bank->m_imageBank[k];
    if (k < 4) {  // split: head from the image's start, body from 0x2000 up
      for (std::size_t s = 0; s < 0xAF; ++s) ASSERT_EQ(slot[s], image[s]) << k << ":" << s;
      for (std::size_t s = 0xAF; s < 0xDFE2; ++s) ASSERT_EQ(slot[s], image[s + 0x2000]) << k << ":" << s;
    } else {
      for (std::size_t s = 0; s <= 0xFFDA; ++s) ASSERT_EQ(slot[s], image[s]) << k << ":" << s;
    }
    // The demo label goes to the board with the image.
    const auto sent = slot.begin() + kLengths[k];
    EXPECT_NE(std::search(slot.begin(), sent, label.begin(), label.end()), sent) << "slot " << k;
  }

  const CliResult list = Run({"--list", shipped});
  ASSERT_EQ(list.code, 0) << list.err;
  EXPECT_NE(list.out.find("0 GTM900-2 591021 24064\n"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("9 GL868 B120220 21120\nload mode 10, loaded module -1\n"), std::string::npos) << list.out;
}

TEST_F(BrevanPackTest, HexAndMemoryImagesPackToTheSameBytes) {
  ASSERT_EQ(Pack(bare, Images(".bin")).code, 0);
  const auto fromBin = ReadFile(shipped);
  const CliResult r = Pack(bare, Images(".hex"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadFile(shipped), fromBin);
}

TEST_F(BrevanPackTest, MemoryImageStartingWithAColonIsNotTakenForHex) {
  auto images = Images(".bin");
  auto bytes = ReadFile(images[4]);
  bytes[0] = ':';
  images[4] = dir.File("colon.bin");
  WriteFile(images[4], bytes);
  const CliResult r = Pack(bare, images);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadFile(shipped)[bareBytes.size() + 4 * 65536 + 30], ':');
}

#ifndef _WIN32  // Windows files have no permission bits to keep
TEST_F(BrevanPackTest, ShippedFileKeepsTheProgramsPermissionBits) {
  namespace fs = std::filesystem;
  const auto mode = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec;
  fs::permissions(bare, mode, fs::perm_options::replace);
  ASSERT_EQ(Pack(bare, Images(".bin")).code, 0);
  EXPECT_EQ(fs::status(shipped).permissions(), mode);
}
#endif

TEST_F(BrevanPackTest, ReplaceSwapsTheOverlayOfAPackedProgram) {
  ASSERT_EQ(Pack(bare, Images(".bin")).code, 0);
  const std::string packed = dir.File("packed-once");
  std::filesystem::rename(shipped, packed);

  auto reversed = Images(".bin");
  std::reverse(reversed.begin(), reversed.end());
  const CliResult refused = Pack(packed, reversed);
  EXPECT_EQ(refused.code, 1);
  EXPECT_NE(refused.err.find(packed + " already carries an image overlay at offset " +
                             std::to_string(bareBytes.size())),
            std::string::npos)
      << refused.err;
  EXPECT_NE(refused.err.find("--replace"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(shipped));

  const CliResult r = Pack(packed, reversed, true);
  ASSERT_EQ(r.code, 0) << r.err;
  const auto file = ReadFile(shipped);
  ASSERT_EQ(file.size(), bareBytes.size() + 655360);
  EXPECT_TRUE(std::equal(bareBytes.begin(), bareBytes.end(), file.begin()));
  // Slots 4 and 5 now read images 5 and 4.
  const auto swapped = Load(shipped);
  EXPECT_EQ(swapped->m_strImageVersion[4], "A120807");
  EXPECT_EQ(swapped->m_strImageVersion[5], "9120220");
  const MemoryImage image5 = brevan::pack::MakeDemoImage(5);
  EXPECT_TRUE(std::equal(image5.begin(), image5.begin() + 0xFFDB, swapped->m_imageBank[4].begin()));

  // Packing in place over the program itself works too.
  const CliResult inPlace = Run({"--program", shipped, "--out", shipped, "--replace", reversed[9], reversed[8],
                                 reversed[7], reversed[6], reversed[5], reversed[4], reversed[3], reversed[2],
                                 reversed[1], reversed[0]});
  ASSERT_EQ(inPlace.code, 0) << inPlace.err;
  EXPECT_EQ(Load(shipped)->m_strImageVersion, Load(packed)->m_strImageVersion);
}

struct Refusal {
  const char* name;
  // Edits the image list (ten demo .bin files) inside the test's directory.
  void (*edit)(const TempDir& dir, std::vector<std::string>& images);
  std::vector<std::string> mentions;  // in the message; "@k" stands for image k's path
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class BrevanPackRefusal : public BrevanPackTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(BrevanPackRefusal, NamesTheCauseAndWritesNothing) {
  for (const bool outExisted : {false, true}) {
    std::filesystem::remove(shipped);
    if (outExisted) WriteFile(shipped, std::string_view("previous"));
    auto images = Images(".bin");
    GetParam().edit(dir, images);
    std::vector<std::filesystem::path> before;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) before.push_back(e.path());

    const CliResult r = Pack(bare, images);
    EXPECT_EQ(r.code, 1);
    for (std::string text : GetParam().mentions) {
      if (text.starts_with("@")) text = images[static_cast<std::size_t>(std::stoi(text.substr(1)))];
      EXPECT_NE(r.err.find(text), std::string::npos) << text << " not in: " << r.err;
    }
    EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
    if (outExisted) {
      EXPECT_EQ(ReadFile(shipped), std::vector<std::uint8_t>({'p', 'r', 'e', 'v', 'i', 'o', 'u', 's'}));
    } else {
      EXPECT_FALSE(std::filesystem::exists(shipped));
    }
    std::vector<std::filesystem::path> after;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) after.push_back(e.path());
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before) << "a file was left behind";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrevanPackRefusal,
    ::testing::Values(
        Refusal{"ImageOneByteShort",
                [](const TempDir& d, std::vector<std::string>& images) {
                  images[3] = d.File("short.bin");
                  WriteFile(images[3], std::vector<std::uint8_t>(65535, 0x11));
                },
                {"@3", "65535 bytes"}},
        Refusal{"MissingImage", [](const TempDir& d, std::vector<std::string>& images) { images[7] = d.File("gone.bin"); },
                {"@7", "cannot open"}},
        Refusal{"NineImages", [](const TempDir&, std::vector<std::string>& images) { images.pop_back(); },
                {"expected 10 images", "but 9 were given"}},
        Refusal{"ElevenImages",
                [](const TempDir&, std::vector<std::string>& images) { images.push_back(images[0]); },
                {"but 11 were given"}},
        Refusal{"MalformedHex",
                [](const TempDir& d, std::vector<std::string>& images) {
                  auto hex = ReadFile(d.File(brevan::pack::DemoFileStem(2) + ".hex"));
                  const auto line3 = std::find(std::find(hex.begin(), hex.end(), '\n') + 1, hex.end(), '\n') + 1;
                  line3[9] = line3[9] == '0' ? '1' : '0';  // first data digit: checksum no longer fits
                  images[2] = d.File("broken.hex");
                  WriteFile(images[2], hex);
                },
                {"@2", "line 3: checksum mismatch"}},
        Refusal{"TwoBadImagesBothNamed",
                [](const TempDir& d, std::vector<std::string>& images) {
                  images[0] = d.File("a-missing.bin");
                  images[9] = d.File("b-missing.bin");
                },
                {"@0", "@9"}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(BrevanPackTest, UncreatableOutputIsReported) {
  shipped = dir.File("no-such-dir/brevan");
  const CliResult r = Pack(bare, Images(".bin"));
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("cannot create"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
}

TEST_F(BrevanPackTest, BadUsageAndListOfAnUnpackedFile) {
  EXPECT_EQ(Run({"--program", bare}).code, 2);
  EXPECT_EQ(Run({"--out", shipped}).code, 2);
  EXPECT_EQ(Run({"--program", bare, "--out", shipped, "--bogus"}).code, 2);
  EXPECT_EQ(Run({"--list", shipped, "--replace"}).code, 2);
  EXPECT_FALSE(std::filesystem::exists(shipped));
  const CliResult help = Run({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("--replace"), std::string::npos);

  const CliResult list = Run({"--list", bare});
  EXPECT_EQ(list.code, 1);
  EXPECT_NE(list.err.find(bare), std::string::npos) << list.err;
}

}  // namespace
