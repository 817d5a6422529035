#pragma once
// Which step a 25 ms tick takes. The parser may change both words between
// any two reads, so the tick decides on the probing flag first and reads the
// module type once, only after probing has ended: a type read earlier could
// be the one from before the board answered (slot 0 written to another
// board) or a refusal, and a type of -1 must never index the bank.
#include <cstdint>

#include "updater/image_bank/module_types.h"

namespace brevan {

enum class TickStep { Probing, Refusal, Writing };

struct TickChoice {
  TickStep step;
  int moduleType;  // a slot, 0..kModuleCount-1, for Writing; -1 otherwise
};

template <class ReadProbing, class ReadModuleType>
TickChoice ChooseTickStep(ReadProbing&& readProbing, ReadModuleType&& readModuleType) {
  if (readProbing() != 0) return {TickStep::Probing, -1};
  const std::int32_t type = readModuleType();
  if (type < 0 || type >= kModuleCount) return {TickStep::Refusal, -1};
  return {TickStep::Writing, type};
}

}  // namespace brevan
