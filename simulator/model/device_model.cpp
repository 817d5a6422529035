#include "simulator/model/device_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "simulator/model/far_end.h"
#include "simulator/model/faults.h"
#include "simulator/model/line.h"

namespace sim {

namespace {
constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
// Without wire timing every burst sits alone on the line's own time axis,
// this far from the one before: more than a character at the slowest rate, so
// each burst is assembled as if the line had been idle before and after it.
constexpr double kBurstSpacingUs = 10e6;
}  // namespace

struct CDeviceModel::PendingReply {
  std::uint64_t dueUs = 0;
  std::vector<Chunk> chunks;
};

CDeviceModel::CDeviceModel(ModelOptions options)
    : m_options(std::move(options)),
      m_toDevice(std::make_unique<CLine>()),
      m_toPc(std::make_unique<CLine>()) {
  if (!PlausibleRate(m_options.receiverRate)) m_options.receiverRate = 9600;
  m_farEnd = std::make_unique<CFarEnd>(m_options, m_report);
  m_faults = std::make_unique<CFaults>(m_options);
}

CDeviceModel::~CDeviceModel() = default;

std::span<const std::uint8_t, 65536> CDeviceModel::Flash() const { return m_farEnd->Flash(); }
std::uint32_t CDeviceModel::DeviceRate() const { return m_farEnd->Rate(); }

double CDeviceModel::Rel(std::uint64_t us) const { return us > m_epochUs ? static_cast<double>(us - m_epochUs) : 0.0; }
std::uint64_t CDeviceModel::Abs(double rel) const {
  return m_epochUs + static_cast<std::uint64_t>(std::ceil(std::max(rel, 0.0)));
}

void CDeviceModel::NotePcRate(std::uint32_t rate) {
  if (PlausibleRate(rate) && std::find(m_report.pcRates.begin(), m_report.pcRates.end(), rate) == m_report.pcRates.end()) {
    m_report.pcRates.push_back(rate);
  }
}

void CDeviceModel::ReceiveFromPc(std::span<const std::uint8_t> bytes, std::uint32_t pcRate, std::uint64_t nowUs) {
  Advance(nowUs);
  m_report.bytesFromPc += bytes.size();
  if (bytes.empty()) return;
  NotePcRate(pcRate);
  if (!PlausibleRate(pcRate)) {
    m_report.bytesLost += bytes.size();
    return;
  }
  const double bit = BitUs(pcRate);
  double earliest = m_options.wireTiming ? Rel(m_nowUs) : m_toDevice->EndUs() + kBurstSpacingUs;
  for (const std::uint8_t b : bytes) {
    m_toDevice->Put(m_faults->Disturb(CharacterLevels(b), false), bit, earliest, 0);
    earliest = 0;
  }
  if (!m_options.wireTiming) AssembleInstant(m_nowUs);
  Advance(m_nowUs);
}

void CDeviceModel::PowerOn(std::uint64_t nowUs) {
  Advance(nowUs);
  m_farEnd->PowerOn(m_nowUs);
  Emit();
  Advance(m_nowUs);
}

// Without wire timing the far end takes the whole burst at once; a command
// in it that changes the far end's rate garbles the rest, as on a real line.
void CDeviceModel::AssembleInstant(std::uint64_t nowUs) {
  for (;;) {
    if (nowUs < m_farEnd->ListenFromUs()) {
      m_report.bytesLost += m_toDevice->Clear();
      break;
    }
    const auto c = m_toDevice->Peek(BitUs(m_farEnd->Rate()));
    if (!c) break;
    m_toDevice->Commit(*c);
    m_farEnd->Take(c->value, c->framingError, nowUs);
    Emit();
  }
  m_toDevice->Clear();  // only idle tails are left
  m_toDevice->Rebase();
}

void CDeviceModel::Emit() {
  for (const Reply& reply : m_farEnd->Outbox()) {
    std::vector<Chunk> chunks = m_faults->Shape(reply);
    if (m_options.split == Split::None && !m_pending.empty() && m_pending.back().dueUs == reply.atUs &&
        m_pending.back().chunks.size() == 1 && chunks.size() == 1) {
      auto& into = m_pending.back().chunks.front().bytes;
      into.insert(into.end(), chunks.front().bytes.begin(), chunks.front().bytes.end());
      continue;
    }
    const auto at = std::upper_bound(m_pending.begin(), m_pending.end(), reply.atUs,
                                     [](std::uint64_t due, const PendingReply& p) { return due < p.dueUs; });
    m_pending.insert(at, PendingReply{reply.atUs, std::move(chunks)});
  }
  m_farEnd->Outbox().clear();
}

void CDeviceModel::PlaceReply(PendingReply& reply, std::uint64_t atUs) {
  const double bit = BitUs(m_farEnd->Rate());
  std::uint64_t due = std::max(atUs, m_txFreeUs);
  bool firstChunk = true;
  for (const Chunk& chunk : reply.chunks) {
    const std::uint64_t tag = m_nextTag++;
    double earliest = 0;
    if (m_options.wireTiming) {
      earliest = firstChunk ? Rel(atUs) : m_toPc->EndUs() + chunk.gapUs;
    } else {
      if (!firstChunk) due += chunk.gapUs;
      if (m_chunkDueUs.empty()) m_firstChunkTag = tag;
      m_chunkDueUs.push_back(due);
      earliest = m_toPc->EndUs() + kBurstSpacingUs;
    }
    for (const std::uint8_t b : chunk.bytes) {
      m_toPc->Put(m_faults->Disturb(CharacterLevels(b), true), bit, earliest, tag);
      earliest = 0;
    }
    firstChunk = false;
  }
  if (!m_options.wireTiming) m_txFreeUs = due;
}

void CDeviceModel::Advance(std::uint64_t nowUs) {
  if (!m_haveEpoch) {
    m_haveEpoch = true;
    m_epochUs = nowUs;
    m_nowUs = nowUs;
    m_txFreeUs = nowUs;
    const std::uint64_t period = std::uint64_t{m_options.babbleMs} * 1000;
    m_nextBabbleUs = nowUs > kNever - period ? kNever : nowUs + period;
  }
  const std::uint64_t now = std::max(nowUs, m_nowUs);
  for (;;) {
    const std::uint64_t babbleDue = m_farEnd->Babbling() ? m_nextBabbleUs : kNever;
    const std::uint64_t replyDue = m_pending.empty() ? kNever : m_pending.front().dueUs;
    std::optional<Character> c;
    std::uint64_t characterDue = kNever;
    if (m_options.wireTiming) {
      const double notBefore = Rel(m_farEnd->ListenFromUs());
      if (notBefore > 0) m_report.bytesLost += m_toDevice->DiscardBefore(std::min(notBefore, Rel(now)));
      c = m_toDevice->Peek(BitUs(m_farEnd->Rate()), notBefore);
      if (c) characterDue = Abs(c->stopSampleUs);
    }
    const std::uint64_t otherDue = std::min(replyDue, characterDue);
    if (std::min(otherDue, babbleDue) > now) break;
    if (babbleDue < otherDue) {
      Babble(now, otherDue);
    } else if (characterDue <= replyDue) {
      m_toDevice->Commit(*c);
      m_farEnd->Take(c->value, c->framingError, characterDue);
      Emit();
    } else {
      PendingReply reply = std::move(m_pending.front());
      m_pending.erase(m_pending.begin());
      PlaceReply(reply, reply.dueUs);
    }
  }
  m_nowUs = now;
}

// The sentence due at m_nextBabbleUs, or, when it has to be skipped, every
// sentence up to the next other event that would be skipped for the same
// reason (nothing takes characters off the line meanwhile), so a long jump of
// the clock costs one step.
void CDeviceModel::Babble(std::uint64_t nowUs, std::uint64_t otherDueUs) {
  const std::uint64_t at = m_nextBabbleUs;
  const std::uint64_t period = std::uint64_t{m_options.babbleMs} * 1000;
  const bool full = m_toPc->Size() >= kMaxBabbleBacklog;
  const bool busy = m_options.wireTiming && m_toPc->EndUs() > Rel(at);
  std::uint64_t sentences = 1;
  if (!full && !busy) {
    const std::string text = GgaSentence(at - m_epochUs);
    Reply reply;
    reply.atUs = at;
    reply.frames.emplace_back(text.begin(), text.end());
    PendingReply placed{at, m_faults->Shape(reply)};
    PlaceReply(placed, at);
    ++m_report.babbleLines;
  } else {
    std::uint64_t until = std::min(nowUs, otherDueUs - 1);  // otherDueUs > at
    if (!full) until = std::min(until, Abs(m_toPc->EndUs()) - 1);  // still busy before then
    until = std::max(until, at);
    sentences = (until - at) / period + 1;
    m_report.babbleLinesDropped += sentences;
    m_report.babbleBytesDropped += sentences * kGgaSentenceSize;
  }
  m_nextBabbleUs = sentences > (kNever - at) / period ? kNever : at + sentences * period;
}

std::vector<std::vector<std::uint8_t>> CDeviceModel::TakeBytesForPc(std::uint64_t nowUs, std::uint32_t pcRate) {
  Advance(nowUs);
  m_lastPcRate = pcRate;
  const bool listening = PlausibleRate(pcRate);
  const double bit = BitUs(listening ? pcRate : m_farEnd->Rate());
  std::vector<std::vector<std::uint8_t>> chunks;
  std::uint64_t lastTag = 0;
  for (;;) {
    const auto c = m_toPc->Peek(bit);
    if (!c) {  // no edge left: nothing more can come of what is on the line
      m_toPc->Clear();
      if (!m_options.wireTiming) {
        m_toPc->Rebase();
        m_chunkDueUs.clear();
      }
      break;
    }
    const std::uint64_t due = m_options.wireTiming ? Abs(c->stopSampleUs) : ChunkDueUs(c->tag);
    if (due > m_nowUs) break;
    m_toPc->Commit(*c);
    // Chunks before this character's are behind the receiver now.
    while (m_firstChunkTag < c->tag && !m_chunkDueUs.empty()) {
      m_chunkDueUs.pop_front();
      ++m_firstChunkTag;
    }
    if (!listening) continue;
    ++m_report.bytesToPc;
    if (chunks.empty() || c->tag != lastTag) chunks.emplace_back();
    chunks.back().push_back(c->value);
    lastTag = c->tag;
  }
  return chunks;
}

// Instant mode: when the chunk a character came from reaches the PC.
std::uint64_t CDeviceModel::ChunkDueUs(std::uint64_t tag) const {
  const std::uint64_t index = tag - m_firstChunkTag;
  return tag >= m_firstChunkTag && index < m_chunkDueUs.size() ? m_chunkDueUs[index] : m_nowUs;
}

std::uint64_t CDeviceModel::NextEventUs() const {
  std::uint64_t next = m_pending.empty() ? kNever : m_pending.front().dueUs;
  if (m_haveEpoch && m_farEnd->Babbling()) next = std::min(next, m_nextBabbleUs);
  const std::uint32_t pcRate = PlausibleRate(m_lastPcRate) ? m_lastPcRate : m_farEnd->Rate();
  if (const auto c = m_toPc->Peek(BitUs(pcRate))) {
    next = std::min(next, m_options.wireTiming ? Abs(c->stopSampleUs) : ChunkDueUs(c->tag));
  }
  if (m_options.wireTiming) {
    const double notBefore = Rel(m_farEnd->ListenFromUs());
    if (const auto c = m_toDevice->Peek(BitUs(m_farEnd->Rate()), notBefore)) next = std::min(next, Abs(c->stopSampleUs));
  }
  return next;
}

}  // namespace sim
