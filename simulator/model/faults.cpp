#include "simulator/model/faults.h"

#include <algorithm>

namespace sim {

CFaults::CFaults(const ModelOptions& options)
    : m_options(options),
      m_garbage(options.seed ^ 0x6761726261676531ULL),
      m_damage(options.seed ^ 0x64616d6167653131ULL),
      m_split(options.seed ^ 0x73706c6974313131ULL),
      m_noiseToPc(options.seed ^ 0x6e6f697365706331ULL),
      m_noiseToDevice(options.seed ^ 0x6e6f697365646576ULL) {}

// Random bytes without 0x24: garbage is to be skipped by the PC, not to
// start a frame header that swallows the real frame behind it (damaged
// copies test that case).
void CFaults::AddGarbage(std::vector<std::uint8_t>& out) {
  const std::uint32_t count = m_garbage.Between(1, 8);
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto b = static_cast<std::uint8_t>(m_garbage.Next());
    out.push_back(b == 0x24 ? 0x25 : b);
  }
}

std::vector<Chunk> CFaults::Shape(const Reply& reply) {
  std::vector<std::uint8_t> bytes;
  for (const auto& frame : reply.frames) {
    if (reply.loader && m_options.garbage) AddGarbage(bytes);
    if (reply.loader && m_options.damage && frame.size() > 2) {
      std::vector<std::uint8_t> copy = frame;
      copy[2] ^= static_cast<std::uint8_t>(m_damage.Between(1, 255));
      bytes.insert(bytes.end(), copy.begin(), copy.end());
    }
    bytes.insert(bytes.end(), frame.begin(), frame.end());
  }
  std::vector<Chunk> chunks;
  if (m_options.split == Split::None || bytes.size() <= 1) {
    chunks.push_back(Chunk{std::move(bytes), 0});
    return chunks;
  }
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t size = 1;
    std::uint32_t gap = 1000;
    if (m_options.split == Split::Random) {
      size = m_split.Between(1, 16);
      gap = m_split.Between(200, 3000);
    }
    size = std::min(size, bytes.size() - pos);
    const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(pos);
    chunks.push_back(Chunk{std::vector<std::uint8_t>(first, first + static_cast<std::ptrdiff_t>(size)),
                           chunks.empty() ? 0 : gap});
    pos += size;
  }
  return chunks;
}

std::uint16_t CFaults::Disturb(std::uint16_t levels, bool towardsPc) {
  const double chance = towardsPc ? m_options.noise : m_options.noiseToDevice;
  if (chance <= 0) return levels;
  CRandom& random = towardsPc ? m_noiseToPc : m_noiseToDevice;
  if (!random.Chance(chance)) return levels;
  return static_cast<std::uint16_t>(levels ^ (1U << random.Between(0, 9)));
}

}  // namespace sim
