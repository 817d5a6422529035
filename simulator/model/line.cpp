#include "simulator/model/line.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {
int Slot(std::uint16_t levels, int slot) { return (levels >> slot) & 1; }
}  // namespace

double CLine::Put(std::uint16_t levels, double bitUs, double earliestUs, std::uint64_t tag) {
  const double start = std::max(earliestUs, m_endUs);
  const double end = start + 10.0 * bitUs;
  m_frames.push_back(Frame{start, end, bitUs, levels, tag});
  m_endUs = end;
  return start;
}

int CLine::LevelBefore(std::size_t index) const {
  const double start = m_frames[index].startUs;
  if (index > 0) {
    const Frame& prev = m_frames[index - 1];
    return prev.endUs == start ? Slot(prev.levels, 9) : 1;
  }
  return m_poppedEndUs == start ? m_poppedStop : 1;
}

// Level at t; hint is an index at or before the character holding t and only
// moves forward, as samples come in time order.
int CLine::Level(double t, std::size_t& hint) const {
  while (hint < m_frames.size() && m_frames[hint].endUs <= t) ++hint;
  if (hint == m_frames.size() || m_frames[hint].startUs > t) return 1;
  const Frame& f = m_frames[hint];
  const double slot = std::floor((t - f.startUs) / f.bitUs);
  return Slot(f.levels, static_cast<int>(std::clamp(slot, 0.0, 9.0)));
}

std::optional<Character> CLine::Peek(double bitUs, double notBeforeUs) const {
  double hunt = std::max(m_huntUs, notBeforeUs);
  std::size_t i = 0;
  while (i < m_frames.size() && m_frames[i].endUs <= hunt) ++i;
  for (;;) {
    // The next high-to-low transition at or after hunt.
    std::optional<double> edge;
    std::size_t edgeFrame = i;
    for (; i < m_frames.size() && !edge; ++i) {
      const Frame& f = m_frames[i];
      int prev = LevelBefore(i);
      for (int k = 0; k < 10; ++k) {
        const double at = f.startUs + k * f.bitUs;
        const int level = Slot(f.levels, k);
        if (at >= hunt && prev == 1 && level == 0) {
          edge = at;
          edgeFrame = i;
          break;
        }
        prev = level;
      }
    }
    if (!edge) return std::nullopt;
    i = edgeFrame;
    std::size_t hint = edgeFrame;
    const double e = *edge;
    if (Level(e + 0.5 * bitUs, hint) == 1) {  // a glitch, not a start bit
      hunt = e + 0.5 * bitUs;
      continue;
    }
    Character c;
    for (int k = 1; k <= 8; ++k) {
      if (Level(e + (k + 0.5) * bitUs, hint) == 1) c.value = static_cast<std::uint8_t>(c.value | (1U << (k - 1)));
    }
    c.stopSampleUs = e + 9.5 * bitUs;
    c.framingError = Level(c.stopSampleUs, hint) == 0;
    c.tag = m_frames[edgeFrame].tag;
    c.huntAfterUs = c.stopSampleUs;
    return c;
  }
}

void CLine::PopPast(double t) {
  while (!m_frames.empty() && m_frames.front().endUs <= t) {
    m_poppedEndUs = m_frames.front().endUs;
    m_poppedStop = Slot(m_frames.front().levels, 9);
    m_frames.pop_front();
  }
}

void CLine::Commit(const Character& character) {
  m_huntUs = std::max(m_huntUs, character.huntAfterUs);
  PopPast(m_huntUs);
}

std::size_t CLine::DiscardBefore(double t) {
  const std::size_t before = m_frames.size();
  m_huntUs = std::max(m_huntUs, t);
  PopPast(t);
  return before - m_frames.size();
}

std::size_t CLine::Clear() {
  const std::size_t count = m_frames.size();
  if (!m_frames.empty()) PopPast(m_frames.back().endUs);
  m_huntUs = std::max(m_huntUs, m_endUs);
  return count;
}

void CLine::Rebase() {
  if (!m_frames.empty()) return;
  m_endUs = 0;
  m_huntUs = 0;
  m_poppedEndUs = -1;
  m_poppedStop = 1;
}

}  // namespace sim
