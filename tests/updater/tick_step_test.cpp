// The tick's choice of step: the probing flag is read first, the module type
// once and only after probing has ended, so replies parsed between the reads
// cannot send a page of another slot or index the bank with a refusal.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "updater/upgrade/tick_step.h"

using brevan::ChooseTickStep;
using brevan::TickStep;

namespace {

// Words as the parser leaves them, read by the tick in the order it chooses;
// `onProbingRead` plays the parser acting right after that read.
struct Words {
  std::int32_t probing = 1;
  std::int32_t moduleType = 0;
  std::string reads;
  std::function<void(Words&)> onProbingRead;

  brevan::TickChoice Tick() {
    return ChooseTickStep(
        [this] {
          reads += 'p';
          const std::int32_t value = probing;
          if (onProbingRead) onProbingRead(*this);
          return value;
        },
        [this] {
          reads += 't';
          return moduleType;
        });
  }
};

}  // namespace

TEST(TickStep, ProbingIsDecidedFirstAndTheTypeIsReadOnceAfterIt) {
  // The board's answer is parsed right after the probing read: this tick probes
  // and must not have read the type of before the answer.
  Words w;
  w.onProbingRead = [](Words& x) {
    x.probing = 0;
    x.moduleType = 5;
  };
  auto choice = w.Tick();
  EXPECT_EQ(choice.step, TickStep::Probing);
  EXPECT_EQ(w.reads, "p");
  // The next tick writes the reported slot.
  w.onProbingRead = nullptr;
  choice = w.Tick();
  EXPECT_EQ(choice.step, TickStep::Writing);
  EXPECT_EQ(choice.moduleType, 5);
  EXPECT_EQ(w.reads, "ppt");
}

TEST(TickStep, ARefusalOrAnImpossibleTypeNeverWrites) {
  for (const std::int32_t type : {-1, -7, 10, 1000}) {
    Words w;
    w.probing = 0;
    w.moduleType = type;
    const auto choice = w.Tick();
    EXPECT_EQ(choice.step, TickStep::Refusal) << type;
    EXPECT_EQ(choice.moduleType, -1) << type;
  }
  // A refusal parsed after the probing read is still seen by the one type read.
  Words w;
  w.probing = 0;
  w.onProbingRead = [](Words& x) { x.moduleType = -1; };
  EXPECT_EQ(w.Tick().step, TickStep::Refusal);
  for (std::int32_t type = 0; type < brevan::kModuleCount; ++type) {
    Words ok;
    ok.probing = 0;
    ok.moduleType = type;
    EXPECT_EQ(ok.Tick().moduleType, type);
  }
}
