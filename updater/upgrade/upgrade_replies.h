#pragma once
// The board loader's replies during an upgrade, decoded on the monitor
// thread into the fields the 25 ms timer reads. Flags are atomic words
// (last writer wins, no data race); the three texts are copied under a lock.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace brevan {

inline constexpr int kReplyTextField = 40;  // bytes, NUL included
inline constexpr int kReceiveArea = 1024;

// Module type for a module-name reply, or fallback when no row matches.
int ModuleTypeForName(std::string_view name, int fallback);
// Whether the bank has a slot for the module of that name.
bool IsKnownModuleName(std::string_view name);

class CUpgradeReplies {
 public:
  // Open's reset: an empty receive area and a board not heard yet. The texts stay.
  void ResetForOpen();
  // One received chunk, 1 to 1,024 bytes.
  void ParseReplies(const std::uint8_t* data, int length);

  // Copies of the reply texts, for the UI thread.
  std::string ModuleName() const;
  std::string SerialNo() const;
  std::string SoftwareVersion() const;

  std::atomic<std::int32_t> m_bProbing{1};
  std::atomic<std::int32_t> m_bPageAck{0};
  std::atomic<std::int32_t> m_nModuleType{0};
  // Set by the UI thread just before the first page frame goes out; Open clears it.
  std::atomic<std::int32_t> m_bFirstPageSent{0};
  // A module-name reply since Open named a module the bank has no slot for.
  std::atomic<std::int32_t> m_bOtherModuleNamed{0};

  // For a diagnosis: bytes parsed since Open, and how many had come when the
  // last page acknowledgement ended (0 when none came).
  std::atomic<std::uint64_t> m_nBytesParsed{0};
  std::atomic<std::uint64_t> m_nBytesAtLastAck{0};
  std::atomic<std::int32_t> m_nAcksHeard{0};  // page acknowledgements since Open

  // Called on the monitor thread after a page acknowledgement has set
  // m_bPageAck; set only while the port is closed.
  std::function<void()> m_onPageAck;

  // The fixed texts of replies ',' and '0', shown on the monitor thread.
  std::function<void(std::string_view text)> m_replyMessageBox;

  // Monitor thread only.
  std::array<std::uint8_t, kReceiveArea> m_rxBuffer{};
  int m_nRxCount = 0;

 private:
  using TextField = std::array<char, kReplyTextField>;
  // True when the reply acknowledged a page.
  bool ActOn(std::uint8_t type, const std::uint8_t* payload, int length);
  void Acknowledge();  // a page acknowledgement: counted, then flagged
  void Store(TextField& field, const std::uint8_t* payload, int length);
  std::string Read(const TextField& field) const;

  // Monitor thread only: a '-' or '.' reply opened an identification answer that no '/' has closed yet.
  bool m_bAnswerOpen = false;
  // Monitor thread only: a known module's name or a '+' came since Open; until then '.' and '/' do not end probing.
  bool m_bNameHeard = false;

  mutable std::mutex m_textLock;
  TextField m_szModuleName{};
  TextField m_szSerialNo{};
  TextField m_szSoftwareVersion{};
};

}  // namespace brevan
