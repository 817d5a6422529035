// The skeleton with a program of its own: where help and usage go, the exit
// code of every fault before the run, the shared options as the run sees
// them, and the endings the run context words.
#include <gtest/gtest.h>

#include <array>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/front_end.h"

namespace {

constexpr std::array<fe::OptionSpec, 2> kOptions{{{"--port", fe::Takes::Value}, {"--list", fe::Takes::Nothing}}};
constexpr fe::OutcomeWords kWords{"done", "stopped"};

class Program final : public fe::IFrontEnd {
 public:
  explicit Program(std::string_view badOption = "bad option: %1") : m_badOption(badOption) {}
  fe::ProgramFacts Facts() const override {
    return {"prog", kWords, {"usage: prog --port PATH", m_badOption, "no trace %1: %2", "%1/%2"}, kOptions};
  }
  bool Take(std::string_view name, const std::string& value) override {
    if (name == "--list") list = true;
    if (name == "--port") port = value;
    return value != "refused";
  }
  std::optional<std::string> Complete(bool help) override {
    if (!help && port.empty() && !list) return "--port";
    return std::nullopt;
  }
  std::optional<int> BeforeRun(const fe::Console& console) override {
    if (!list) return std::nullopt;
    console.out << "listed\n";
    return 7;
  }
  int Run(fe::RunContext& run, const fe::SharedOptions& options) override {
    ++runs;
    shared = options;
    hadTrace = run.Trace() != nullptr;
    run.Output().Status("running");
    return run.End(fe::kExitTimedOut, {"summary"}, {{"extra", 1}});
  }

  std::string port;
  bool list = false;
  int runs = 0;
  fe::SharedOptions shared;
  bool hadTrace = false;

 private:
  std::string_view m_badOption;
};

struct Ran {
  int code;
  std::string out, err;
};

Ran RunWith(Program& program, const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = fe::RunFrontEnd(program, args, {out, err});
  return {code, out.str(), err.str()};
}

std::vector<nlohmann::json> JsonLines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

TEST(FrontendSkeleton, HelpGoesToStandardOutputAndEndsWithZero) {
  Program program;
  const Ran r = RunWith(program, {"--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "usage: prog --port PATH\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(program.runs, 0);
}

TEST(FrontendSkeleton, EveryFaultOfTheLineIs64WithTheOptionNamedThenTheUsage) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> rows{
      {{"--port", "x", "--bogus"}, "--bogus"},
      {{}, "--port"},                                // the program's whole-line check
      {{"--port", "refused"}, "--port"},             // the program refused the value
      {{"--port", "x", "--progress", "fancy"}, "--progress"},
      {{"--port", "x", "--trace", ""}, "--trace"},   // an empty name is no file
      {{"--port", "x", "--trace"}, "--trace"},
      {{"--help", "--bogus"}, "--bogus"},            // help does not hide it
  };
  for (const auto& [args, bad] : rows) {
    Program program;
    const Ran r = RunWith(program, args);
    EXPECT_EQ(r.code, 64) << bad;
    EXPECT_EQ(r.err, "bad option: " + bad + "\nusage: prog --port PATH\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(program.runs, 0);
  }
}

TEST(FrontendSkeleton, AProgramWithoutAFaultLineShowsTheUsageAlone) {
  Program program("");
  const Ran r = RunWith(program, {"--bogus"});
  EXPECT_EQ(r.code, 64);
  EXPECT_EQ(r.err, "usage: prog --port PATH\n");
}

TEST(FrontendSkeleton, WorkBeforeTheRunEndsTheProgramWithItsCode) {
  Program program;
  const Ran r = RunWith(program, {"--list", "--json"});
  EXPECT_EQ(r.code, 7);
  EXPECT_EQ(r.out, "listed\n");  // no JSON lines: no run began
  EXPECT_EQ(program.runs, 0);
}

TEST(FrontendSkeleton, WithoutJsonPeopleReadStandardOutput) {
  Program program;
  const Ran r = RunWith(program, {"--port", "x", "--progress", "none"});
  EXPECT_EQ(r.code, fe::kExitTimedOut);
  EXPECT_EQ(r.out, "running\nsummary\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(program.runs, 1);
  EXPECT_EQ(program.shared.progress, fw::ProgressMode::None);
  EXPECT_FALSE(program.shared.json);
  EXPECT_FALSE(program.hadTrace);
}

TEST(FrontendSkeleton, WithJsonStandardOutputCarriesTheLinesAndPeopleReadStandardError) {
  Program program;
  const Ran r = RunWith(program, {"--json", "--port", "x"});
  EXPECT_EQ(r.err, "running\nsummary\n");
  const std::vector<nlohmann::json> lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out;
  EXPECT_EQ(lines[0]["event"], "status");
  EXPECT_EQ(lines[1]["event"], "result");
  EXPECT_EQ(lines[1]["exit"], 3);
  EXPECT_EQ(lines[1]["outcome"], "timed-out");
  EXPECT_EQ(lines[1]["extra"], 1);
}

TEST(FrontendSkeleton, AnUnwritableTraceIsAUsageResultBeforeTheRun) {
  Program program;
  const Ran r = RunWith(program, {"--port", "x", "--json", "--trace", "/nonexistent/dir/t.txt"});
  EXPECT_EQ(r.code, 64);
  EXPECT_EQ(r.err.rfind("no trace /nonexistent/dir/t.txt: ", 0), 0u) << r.err;
  const std::vector<nlohmann::json> lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 1u) << r.out;
  EXPECT_EQ(lines[0]["exit"], 64);
  EXPECT_EQ(lines[0]["outcome"], "usage");
  EXPECT_EQ(program.runs, 0);
}

TEST(FrontendSkeleton, TheRunContextWordsInterruptionsAndRefusals) {
  std::ostringstream human, json, err;
  fw::RunOutput output(human, false, fw::ProgressMode::None, &json);
  {
    fe::RunContext run(output, nullptr, err, kWords, "bad option: %1");
    EXPECT_EQ(run.Interrupted({{"wall_ms", 5}}), 130);  // no signal came: Cancel
    EXPECT_EQ(run.Refuse("--type X"), 64);
    EXPECT_EQ(run.End(fe::kExitDone), 0);
  }
  EXPECT_EQ(err.str(), "bad option: --type X\n");
  const std::vector<nlohmann::json> lines = JsonLines(json.str());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]["outcome"], "stopped");
  EXPECT_EQ(lines[0]["wall_ms"], 5);
  EXPECT_EQ(lines[1]["outcome"], "usage");
  EXPECT_EQ(lines[2]["outcome"], "done");
}

}  // namespace
