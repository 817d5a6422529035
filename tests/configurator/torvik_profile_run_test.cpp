// Profiles through the terminal configurator before any port is opened: the
// faults it ends with (64, the file and line on standard error), saving
// alone, and --help naming the new options.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "configurator/app/torvik_terminal.h"
#include "framework/sha256.h"
#include "support/json_lines.h"
#include "support/temp_dir.h"

namespace {

struct Ran {
  int code;
  std::string out, err;
};

Ran Torvik(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = torvik::RunTorvikTerminal(args, {}, out, err);
  return {code, out.str(), err.str()};
}

class TorvikProfileRun : public ::testing::Test {
 protected:
  std::string Profile(std::string_view name, std::string_view text) {
    const std::string file = dir.File(name);
    testing_support::WriteFile(file, text);
    return file;
  }
  testing_support::TempDir dir;
};

TEST_F(TorvikProfileRun, AFaultyProfileEndsWith64NamingTheFileAndLine) {
  struct Case {
    std::string text;
    std::string said;
  };
  const std::vector<Case> cases{
      {"# ok\nmode = vrs\nbaud = 9600\n", ":3: unknown key baud"},
      {"trace = t.txt\n", ":1: trace is not taken from a profile"},
      {"[torvik]\n\nboards = many\n", ":3: bad value for boards: many"},
      {"mode = vrs\nmode = gsm\n", ":2: mode again, first given on line 1"},
  };
  for (const Case& c : cases) {
    const std::string file = Profile("bad.ini", c.text);
    // With the port on the line, and without one: the profile's fault is the one told.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--profile", file, "--port", "/dev/null"}, std::vector<std::string>{"--profile", file}}) {
      const Ran r = Torvik(args);
      EXPECT_EQ(r.code, torvik::kExitUsage) << c.text;
      EXPECT_NE(r.err.find("torvik: " + file + c.said), std::string::npos) << r.err;
      EXPECT_EQ(r.err.find("usage:"), std::string::npos) << "the message alone, as for a trace file";
      EXPECT_EQ(r.out, "");
    }
  }
  const Ran missing = Torvik({"--profile", dir.File("none.ini"), "--port", "/dev/null", "--json"});
  EXPECT_EQ(missing.code, torvik::kExitUsage);
  EXPECT_NE(missing.err.find("cannot read the profile " + dir.File("none.ini") + ": No such file or directory"),
            std::string::npos)
      << missing.err;
  const std::vector<nlohmann::json> events = testing_support::ParseJsonLines(missing.out);
  ASSERT_EQ(events.size(), 1u) << missing.out;
  EXPECT_EQ(events[0]["outcome"], "usage");
}

TEST_F(TorvikProfileRun, SavingAloneEndsWithZeroAndWritesTheMergedOptions) {
  const std::string base = Profile("base.ini", "type = T5\nmode = ntrip\nboards = 3\n");
  const std::string saved = dir.File("saved.ini");
  const Ran r = Torvik({"--mode", "vrs", "--profile", base, "--save-profile", saved, "--count", "7"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Profile saved to " + saved), std::string::npos) << r.out;
  const std::vector<std::uint8_t> bytes = testing_support::ReadFile(saved);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_TRUE(text.starts_with("# ")) << text;
  EXPECT_NE(text.find("[torvik]\ntype = T5\ncount = 7\nmode = vrs\nboards = 3\n"), std::string::npos) << text;
  // The base profile is named at the start, by its stem and digest.
  const std::vector<std::uint8_t> baseBytes = testing_support::ReadFile(base);
  const std::string digest = fw::Sha256Hex(std::string(baseBytes.begin(), baseBytes.end()));
  EXPECT_NE(r.out.find("Profile base (sha256 " + digest.substr(0, 12) + ")"), std::string::npos) << r.out;

  // Read back, it needs no more than the port to run, and saves the same text again.
  const std::string again = dir.File("again.ini");
  ASSERT_EQ(Torvik({"--profile", saved, "--save-profile", again, "--json"}).code, 0);
  const std::vector<std::uint8_t> againBytes = testing_support::ReadFile(again);
  EXPECT_EQ(std::string(againBytes.begin(), againBytes.end()), text);

  // Without a port and without saving, the port is still missing.
  const Ran noPort = Torvik({"--profile", base});
  EXPECT_EQ(noPort.code, torvik::kExitUsage);
  EXPECT_NE(noPort.err.find("--port"), std::string::npos) << noPort.err;
  const Ran unwritable = Torvik({"--save-profile", dir.File("no/dir/x.ini"), "--mode", "vrs"});
  EXPECT_EQ(unwritable.code, torvik::kExitUsage);
  EXPECT_NE(unwritable.err.find("cannot write the profile"), std::string::npos) << unwritable.err;
  EXPECT_EQ(Torvik({"--profile", ""}).code, torvik::kExitUsage);
}

TEST(TorvikProfileHelp, TheHelpNamesProfilesAndScanning) {
  const Ran r = Torvik({"--help"});
  EXPECT_EQ(r.code, 0);
  for (const std::string option : {"  --profile FILE", "  --save-profile FILE", "  --scan "})
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
  EXPECT_NE(r.out.find("配置文件"), std::string::npos);
  EXPECT_NE(r.out.find("扫描标签"), std::string::npos);
}

}  // namespace
