#pragma once
// The voices behind the line, byte by byte and without physics: the
// receiver's command interpreter, the direct link with the modem board's
// settings interpreter and the cellular module's AT interpreter, and the
// board's loader with its 64 KB memory. What they answer goes to an outbox
// that the device model shapes and puts on the line.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "simulator/model/device_model.h"

namespace sim {

struct Reply {
  std::uint64_t atUs = 0;
  std::vector<std::vector<std::uint8_t>> frames;  // loader frames one by one; other replies one piece
  bool loader = false;
};

// A loader reply frame: 24, type, FF-type, length low, length high, 00 00,
// payload (cut at 65,535 bytes), XOR of all bytes before, 0D 0A.
std::vector<std::uint8_t> BuildReplyFrame(std::uint8_t type, std::string_view payload);

// The receiver's periodic output: a GGA sentence with a fixed position, its
// time of day sinceStartUs after 00:00:00 and a valid checksum; always
// kGgaSentenceSize bytes, CR LF included.
inline constexpr std::size_t kGgaSentenceSize = 74;
std::string GgaSentence(std::uint64_t sinceStartUs);
// What the receiver prints when it starts: a text sentence, CR LF included.
std::string StartUpSentence();

class CFarEnd {
 public:
  CFarEnd(const ModelOptions& options, Report& report);

  // One character the far end's UART assembled at atUs.
  void Take(std::uint8_t byte, bool framingError, std::uint64_t atUs);

  // Powered on again: the direct link closes and the receiver says it has started.
  void PowerOn(std::uint64_t atUs);

  std::vector<Reply>& Outbox() { return m_outbox; }
  // The rate the far end listens and sends at: the receiver port's, or the
  // loader's once the upgrade has started.
  std::uint32_t Rate() const { return m_upgrading ? kLoaderRate : m_receiverRate; }
  // Nothing is heard before this time (the loader's power-on), 0 otherwise.
  std::uint64_t ListenFromUs() const { return m_upgrading ? m_report.loaderListensAtUs : 0; }
  // The receiver prints its periodic output: asked for, and the port is still its own.
  bool Babbling() const { return m_options.babbleMs > 0 && !m_upgrading; }
  std::span<const std::uint8_t, 65536> Flash() const { return m_flash; }

 private:
  void ReceiverByte(std::uint8_t byte, std::uint64_t atUs);
  void TextByte(std::uint8_t byte, std::uint64_t atUs);
  void Line(std::string_view line, std::uint64_t atUs);
  void KavelCommand(std::string_view command, std::uint64_t atUs);
  void AtCommand(std::string_view command, std::uint64_t atUs);
  void BinaryFrame(std::span<const std::uint8_t> frame, std::uint64_t atUs);
  void Setting(std::string_view command, std::string_view name, std::uint64_t atUs);
  void Acknowledge(std::string_view name, std::uint64_t atUs);
  void SetDirectLink(bool open, std::string_view cause, std::uint64_t atUs);
  void Log(std::uint64_t atUs, std::string_view kind, std::string_view text);
  void Say(std::uint64_t atUs, std::string_view text);

  void LoaderByte(std::uint8_t byte, std::uint64_t atUs);
  void Query(std::uint64_t atUs);
  void Page(std::uint64_t atUs);
  void LoaderReply(std::uint64_t atUs, std::vector<std::vector<std::uint8_t>> frames);

  const ModelOptions& m_options;
  Report& m_report;
  std::vector<Reply> m_outbox;
  std::uint32_t m_receiverRate;
  bool m_upgrading = false;

  std::string m_line;
  bool m_lineOverflow = false;
  std::vector<std::uint8_t> m_frame;  // a binary command frame being collected

  std::array<std::uint8_t, 133> m_loaderBuffer{};
  std::size_t m_loaderCount = 0;
  std::uint64_t m_lastLoaderByteUs = 0;
  std::uint32_t m_pageCount = 0;
  bool m_loaderStopped = false;  // stopAfterPage reached: the loader answers nothing any more
  std::array<std::uint8_t, 65536> m_flash;
};

}  // namespace sim
