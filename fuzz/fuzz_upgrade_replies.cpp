// The updater's reply parser fed through the engine's receive hook in
// arbitrary chunkings. Up to one receive area of input, no byte is dropped,
// so the outcome must not depend on the chunking: it is compared with the
// same bytes parsed as one chunk.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "serial/engine.h"
#include "updater/upgrade/upgrade_tty.h"

namespace {

struct Outcome {
  std::string name, serial, version;
  std::int32_t probing, pageAck, moduleType;
  std::vector<std::uint8_t> pending;
  std::vector<std::string> boxes;
  bool operator==(const Outcome&) const = default;
};

Outcome Run(const std::vector<std::span<const std::uint8_t>>& chunks, bool firstPageSent) {
  serial::CPlainEngineOwner owner;
  serial::Engine<brevan::CUpgradeTTY> tty(owner);
  std::vector<std::string> boxes;
  tty.m_replyMessageBox = [&](std::string_view text) { boxes.emplace_back(text); };
  tty.m_bFirstPageSent = firstPageSent ? 1 : 0;
  for (const auto& chunk : chunks) {
    tty.OnDataReceived(chunk.data(), static_cast<int>(chunk.size()));
    FUZZ_CHECK(tty.m_nRxCount >= 0 && tty.m_nRxCount <= brevan::kReceiveArea);
  }
  Outcome o{tty.ModuleName(), tty.SerialNo(), tty.SoftwareVersion(), tty.m_bProbing.load(), tty.m_bPageAck.load(),
            tty.m_nModuleType.load(), {tty.m_rxBuffer.begin(), tty.m_rxBuffer.begin() + tty.m_nRxCount},
            std::move(boxes)};
  for (const std::string* text : {&o.name, &o.serial, &o.version})
    FUZZ_CHECK(text->size() < static_cast<std::size_t>(brevan::kReplyTextField));
  FUZZ_CHECK(o.moduleType >= -1 && o.moduleType <= 9);
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool firstPageSent = (data[0] & 0x80) != 0;
  const fuzz::Chunked input(data, size, brevan::kReceiveArea);
  std::vector<std::span<const std::uint8_t>> chunks;
  input.ForEach([&](std::span<const std::uint8_t> c) { chunks.push_back(c); });
  const Outcome chunked = Run(chunks, firstPageSent);
  if (!input.payload.empty() && input.payload.size() <= static_cast<std::size_t>(brevan::kReceiveArea)) {
    FUZZ_CHECK(chunked == Run({input.payload}, firstPageSent));
  }
  return 0;
}
