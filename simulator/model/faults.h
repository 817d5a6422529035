#pragma once
// The fault stage between the far end's voices and the line: garbage and
// damaged copies in front of loader frames, replies cut into chunks with
// gaps, and bit flips on the line. Each kind of fault draws from its own
// stream of the seed, so switching one on does not move the others.
#include <cstdint>
#include <vector>

#include "simulator/model/device_model.h"
#include "simulator/model/far_end.h"
#include "simulator/model/random.h"

namespace sim {

struct Chunk {
  std::vector<std::uint8_t> bytes;
  std::uint32_t gapUs = 0;  // idle line before this chunk, after the one before it
};

class CFaults {
 public:
  explicit CFaults(const ModelOptions& options);

  // A reply as it is to go on the line.
  std::vector<Chunk> Shape(const Reply& reply);
  // A character's ten bit-slot levels, maybe with one of them flipped.
  std::uint16_t Disturb(std::uint16_t levels, bool towardsPc);

 private:
  void AddGarbage(std::vector<std::uint8_t>& out);

  const ModelOptions& m_options;
  CRandom m_garbage;
  CRandom m_damage;
  CRandom m_split;
  CRandom m_noiseToPc;
  CRandom m_noiseToDevice;
};

}  // namespace sim
