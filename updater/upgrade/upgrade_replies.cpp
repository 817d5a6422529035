#include "updater/upgrade/upgrade_replies.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "updater/image_bank/module_types.h"

namespace brevan {
namespace {

constexpr std::uint8_t kFrameStart = 0x24;
constexpr int kNoModule = -2;  // ModuleTypeForName's answer for a name of no module
constexpr int kHeader = 7;    // '$', type, complement, length (2), two bytes not examined
constexpr int kOverhead = 10;  // header and the three bytes after the payload, not examined

}  // namespace

int ModuleTypeForName(std::string_view name, int fallback) {
  // Every row is tried in order; the last match wins.
  int type = fallback;
  for (int k = 0; k < kModuleCount; ++k)
    if (NamesModule(kModuleSlots[static_cast<std::size_t>(k)], name)) type = k;
  return type;
}

bool IsKnownModuleName(std::string_view name) { return ModuleTypeForName(name, kNoModule) != kNoModule; }

void CUpgradeReplies::ResetForOpen() {
  m_nRxCount = 0;
  m_bProbing = 1;
  m_bPageAck = 0;
  m_nModuleType = 0;
  m_bFirstPageSent = 0;
  m_bOtherModuleNamed = 0;
  m_bAnswerOpen = false;
  m_bNameHeard = false;
  m_nBytesParsed = 0;
  m_nBytesAtLastAck = 0;
  m_nAcksHeard = 0;
}

void CUpgradeReplies::ParseReplies(const std::uint8_t* data, int length) {
  if (!data || length <= 0) return;
  const std::uint64_t parsed = m_nBytesParsed.load() + static_cast<std::uint64_t>(length);
  m_nBytesParsed = parsed;
  // A chunk the area cannot take drops the oldest bytes: what is waiting
  // there is older than anything in the chunk.
  if (length > kReceiveArea) {
    data += length - kReceiveArea;
    length = kReceiveArea;
  }
  const int overflow = m_nRxCount + length - kReceiveArea;
  if (overflow > 0) {
    std::memmove(m_rxBuffer.data(), m_rxBuffer.data() + overflow, static_cast<std::size_t>(m_nRxCount - overflow));
    m_nRxCount -= overflow;
  }
  std::memcpy(m_rxBuffer.data() + m_nRxCount, data, static_cast<std::size_t>(length));
  m_nRxCount += length;

  int pos = 0;
  while (pos < m_nRxCount - kHeader) {
    const std::uint8_t* frame = m_rxBuffer.data() + pos;
    if (frame[0] != kFrameStart || frame[1] + frame[2] != 0xFF) {
      ++pos;
      continue;
    }
    const int n = frame[3] + 256 * frame[4];
    // A length no frame in the area can have is damage, not a frame to wait for.
    if (n + kOverhead > kReceiveArea) {
      ++pos;
      continue;
    }
    if (n > m_nRxCount - pos - kOverhead) break;  // the rest arrives with a later chunk
    const bool acknowledged = ActOn(frame[1], frame + kHeader, n);
    pos += n + kOverhead;
    if (acknowledged) {
      m_nBytesAtLastAck = parsed - static_cast<std::uint64_t>(m_nRxCount - pos);
      if (m_onPageAck) m_onPageAck();
    }
  }
  std::memmove(m_rxBuffer.data(), m_rxBuffer.data() + pos, static_cast<std::size_t>(m_nRxCount - pos));
  m_nRxCount -= pos;
}

bool CUpgradeReplies::ActOn(std::uint8_t type, const std::uint8_t* payload, int length) {
  switch (type) {
    case '+':
      m_nModuleType = -1;
      m_bProbing = 0;
      m_bNameHeard = true;
      break;
    case ',':
      if (m_replyMessageBox) m_replyMessageBox("Upgrade finish!");
      break;
    case '-': {
      Store(m_szModuleName, payload, length);
      // Only a name of a module the bank has a slot for identifies the board.
      // Another name (a frame bent on the line; a module this program does not
      // know) would leave Open's type 0 and put slot 0 into whatever board this
      // is: probing goes on, and the loader's next answer, or the end of the
      // countdown (as wrong firmware), decides.
      const int known = ModuleTypeForName(Read(m_szModuleName), kNoModule);
      if (known != kNoModule) {
        m_nModuleType = known;
        m_bProbing = 0;
        m_bNameHeard = true;
      } else {
        m_bOtherModuleNamed = 1;
      }
      m_bAnswerOpen = true;
      break;
    }
    case '.':
      // Before a known name the type is still Open's 0: writing would put slot 0 into whatever
      // board this is when its name frame was lost. Probing goes on until a name (or a refusal) is in.
      if (m_bNameHeard) m_bProbing = 0;
      Store(m_szSerialNo, payload, length);
      m_bAnswerOpen = true;
      break;
    case '/': {
      if (m_bNameHeard) m_bProbing = 0;
      Store(m_szSoftwareVersion, payload, length);
      // The loader answers every identification query with '-', '.', '/', and
      // UPDATE and the probing ticks send several queries before the first
      // answer is in; the later answers arrive while pages are written. A '/'
      // that closes such an answer once the first page has gone out says
      // nothing about a page: taken as an acknowledgement it would move the
      // writing one page ahead of the loader, and a page lost after that
      // would never be sent again. Before the first page it starts writing,
      // as ever; a '/' that closes no answer is a page acknowledgement.
      // Acknowledgements carry no page number: a very late one still counts.
      const bool closesAnswer = std::exchange(m_bAnswerOpen, false);
      if (!closesAnswer || m_bFirstPageSent.load() == 0) {
        Acknowledge();
        return true;
      }
      break;
    }
    case '0':
      if (m_replyMessageBox) m_replyMessageBox("48");
      break;
    case '1':
      Acknowledge();
      return true;
    default:
      break;
  }
  return false;
}

// Counted before the flag is set: a tick that has seen the flag has seen the
// count too, so the count can tell acknowledgements that came during a tick.
void CUpgradeReplies::Acknowledge() {
  m_nAcksHeard.fetch_add(1);
  m_bPageAck = 1;
}

void CUpgradeReplies::Store(TextField& field, const std::uint8_t* payload, int length) {
  // A payload too long for its field is cut to fit, NUL included.
  const int kept = std::min(length, kReplyTextField - 1);
  std::lock_guard<std::mutex> lock(m_textLock);
  std::memcpy(field.data(), payload, static_cast<std::size_t>(kept));
  field[static_cast<std::size_t>(kept)] = '\0';
}

std::string CUpgradeReplies::Read(const TextField& field) const {
  std::lock_guard<std::mutex> lock(m_textLock);
  return std::string(field.data());
}

std::string CUpgradeReplies::ModuleName() const { return Read(m_szModuleName); }
std::string CUpgradeReplies::SerialNo() const { return Read(m_szSerialNo); }
std::string CUpgradeReplies::SoftwareVersion() const { return Read(m_szSoftwareVersion); }

}  // namespace brevan
