#pragma once
// The far end of the programs' serial line, as one time-explicit model: the
// GNSS receiver's command interpreter and port rate, its direct link to the
// modem board, the cellular module's AT interpreter and the board's loader,
// joined to the PC by a bit-level line model and a fault stage.
//
// The caller owns the clock: every call passes the current time in
// microseconds (never decreasing), so the same model runs on a real clock
// (receiver-sim) and on a virtual one (in-process tests).
//
//   CDeviceModel model(options);
//   model.ReceiveFromPc(bytes, 9600, now);           // PC wrote at 9600 8N1
//   wake = model.NextEventUs();                      // sleep until then, or until the PC writes
//   for (auto& chunk : model.TakeBytesForPc(wake, 9600)) deliver(chunk);
//
// The receiver (text lines ending in CR, LF or both; leading garbage before
// "KAVEL," is ignored):
//   KAVEL,SOFTWARE,       upgrade: the line goes to the loader, which listens
//                         at 57600 only, powerOnDelayMs after the command
//   KAVEL,COM,<rate>,...  the receiver port's rate becomes <rate> (0 or an
//                         implausible rate is ignored), with or without the
//                         direct link. KAVEL,COM,<rate>,<r2>,SAVE also makes
//                         <rate> the saved rate (Report::savedRate) and, while
//                         the link is open, is answered "KAVEL,COM,OK" at the new
//                         rate; the plain form (the rate broadcast) is not answered
//   KAVEL,CLOSE, / KAVEL,DIRECT,ON / the binary direct-link frame
//                         24 35 CA 02 00 01 01 D9: direct link open; KAVEL,DIRECT,OFF
//                         (or the frame with payload 01 00) closes it
//   KAVEL,BURST,[N]       N bytes of BurstByte(i) back at the receiver's rate
//                         (N from the line, else ModelOptions::burstBytes)
//   While the direct link is open, any other KAVEL,<NAME>,... line is a modem
//   board setting: stored and answered "KAVEL,<NAME>,OK\r\n"; AT lines go to
//   the cellular module (AT+IPR=<n> sets its rate, ATE0/ATE1 its echo) and are
//   answered "\r\nOK\r\n", as a modem answers. Outside the link these lines
//   are ignored.
//   Settings and COM acknowledgements go out ackDelayMs after the command's
//   line end; names in noAck are stored but never acknowledged; names in
//   errorReply are stored but answered "KAVEL,<NAME>,ERROR\r\n" (no "OK").
//   KAVEL,SERIAL,<s> sets the board's serial number, KAVEL,SAVECONFIG, saves.
//
// With babbleMs the receiver prints a GGA sentence every babbleMs at its port
// rate, from the first call until the upgrade hands the port to the loader.
// The sentence never holds "KAVEL" or "OK", so it cannot pass for an
// acknowledgement. A sentence is skipped (and counted) while the receiver's
// transmitter is still busy (wire timing) or the PC has not taken
// kMaxBabbleBacklog characters yet, so a PC that does not read costs no memory.
//
// The loader (57600 8N1, resynchronises on any garbage, forgets a partial
// frame after 100 ms without a byte):
//   query 24 2D D2 01 00 00 DA 0D 0A -> reply frames '-' module, '.' serial,
//                                        '/' software version ('+' when refusing)
//   page  24 2C D3 hi lo <128 bytes>  -> written at hi*256+lo (wrapping), '1' reply
// Reply frame: 24, type, FF-type, payload length (2 bytes, low first), 00 00,
// payload, XOR of all bytes before it, 0D 0A.
//
// Timing: without wireTiming a reply is delivered whole at the moment its
// cause arrived (plus any fault delay); with it every character takes 10 bit
// times at its sender's rate in both directions, and a character is delivered
// when the receiver samples its stop bit (9.5 bit times after its start edge).
// A rate mismatch garbles characters in both modes.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace sim {

enum class Split { None, Bytes, Random };

struct ModelOptions {
  std::string module = "GTM900-2";       // text of the '-' reply
  std::string serial = "SIM0000001";     // text of the '.' reply
  std::string softwareVersion = "591021";  // text of the '/' reply
  bool refuse = false;   // the loader answers every query with '+'
  bool silent = false;   // nothing at the far end ever answers
  std::uint32_t powerOnDelayMs = 0;    // from KAVEL,SOFTWARE, until the loader listens
  std::uint32_t receiverRate = 9600;   // the receiver port's rate at start
  bool wireTiming = false;
  std::set<std::uint32_t> dropAckPages;  // pages, counted from 1 in arrival order, left unacknowledged
  std::set<std::uint32_t> dropPages;     // page frames, counted the same way, that the loader never hears
  std::uint32_t lateAckMs = 0;           // page acknowledgements go out this much later
  std::set<std::uint32_t> lateAckPages;  // when not empty, only these pages' acknowledgements are late
  std::uint32_t lateAnswerMs = 0;        // identification answers go out this much later
  Split split = Split::None;  // Bytes: one chunk per byte, 1 ms apart; Random: 1..16 bytes, 0.2..3 ms apart
  bool garbage = false;       // 1..8 random bytes in front of every loader reply frame
  bool damage = false;        // a copy with a wrong complement byte in front of every loader reply frame
  double noise = 0;           // chance per character sent to the PC that one of its ten bits flips
  double noiseToDevice = 0;   // the same for characters from the PC
  std::uint64_t seed = 1;     // one seed replays every random fault exactly
  std::uint32_t burstBytes = 0;  // default length of the KAVEL,BURST, answer
  bool echo = false;  // test traffic: the receiver sends back every character it assembles and interprets nothing
  // Reply ',' (or '0') after the Nth distinct page address is first written,
  // repeats not counted: N = the image's page count is its last page (0: never).
  std::uint32_t finishAfterPage = 0;
  std::uint32_t zeroAfterPage = 0;
  // After the Nth distinct page address is first written (and acknowledged)
  // the loader is silent for good: it answers nothing and writes no page (0: never).
  std::uint32_t stopAfterPage = 0;
  std::uint32_t ackDelayMs = 0;  // settings and COM acknowledgements go out this much later
  std::set<std::string> noAck;   // setting names (APN, SERIAL, COM...) stored but never acknowledged
  std::set<std::string> errorReply;  // setting names stored but answered with an error line instead
  std::uint32_t babbleMs = 0;    // the receiver's own GGA output every this many ms (0: none)
};

// Byte i of the KAVEL,BURST, answer: a pattern whose period (251 * 256) is
// not a power of two, so lost, repeated or reordered blocks show.
constexpr std::uint8_t BurstByte(std::uint64_t i) { return static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF); }

// Loader reply types.
inline constexpr std::uint8_t kReplyRefused = 0x2B;   // '+'
inline constexpr std::uint8_t kReplyFinish = 0x2C;    // ','
inline constexpr std::uint8_t kReplyModule = 0x2D;    // '-'
inline constexpr std::uint8_t kReplySerial = 0x2E;    // '.'
inline constexpr std::uint8_t kReplyVersion = 0x2F;   // '/'
inline constexpr std::uint8_t kReplyZero = 0x30;      // '0'
inline constexpr std::uint8_t kReplyPageAck = 0x31;   // '1'
inline constexpr std::uint32_t kLoaderRate = 57600;

// Rates a UART of the model works at; others mean "not listening".
inline constexpr std::uint32_t kMinRate = 50;
inline constexpr std::uint32_t kMaxRate = 10000000;
constexpr bool PlausibleRate(std::uint32_t rate) { return rate >= kMinRate && rate <= kMaxRate; }

// Characters on their way to the PC beyond which the receiver's periodic
// output is skipped.
inline constexpr std::size_t kMaxBabbleBacklog = 4096;

struct CommandRecord {
  std::uint64_t atUs = 0;
  std::uint32_t rate = 0;  // the receiver port's rate it arrived at
  std::string kind;        // receiver, setting, at, ignored, frame
  std::string text;        // without the line end; a binary frame in hex
};
struct LinkChange {
  std::uint64_t atUs = 0;
  bool open = false;
  std::string cause;
};
struct PageRecord {
  std::uint64_t atUs = 0;
  std::uint16_t address = 0;
  bool acknowledged = false;
  bool lost = false;  // the frame never reached the loader (ModelOptions::dropPages)
};

// What happened at the far end. Times are the caller's microseconds.
struct Report {
  std::vector<CommandRecord> commands;      // every non-empty line and binary frame (first 10,000)
  std::uint64_t commandsNotLogged = 0;
  std::vector<std::uint32_t> receiverRates;  // the port's start rate, then every change
  std::vector<std::uint32_t> pcRates;        // rates the PC sent at, in order of first use
  bool directLinkOpen = false;
  std::vector<LinkChange> directLink;        // every open and close
  std::map<std::string, std::string> settings;  // setting name -> last full text
  std::vector<std::string> settingsLog;         // settings in arrival order (first 10,000)
  std::uint32_t settingAcks = 0;
  // Setting name -> the fields after the name of its last command; a field in
  // double quotes keeps its commas and loses the quotes.
  std::map<std::string, std::vector<std::string>> settingFields;
  std::map<std::string, std::uint32_t> settingsAcked;  // settings and COM: name -> acknowledgements sent (0: heard, never answered)
  std::string serialNumber;      // from KAVEL,SERIAL,
  std::uint32_t savedRate = 0;   // from KAVEL,COM,<rate>,...,SAVE (0: never)
  bool configSaved = false;      // KAVEL,SAVECONFIG, came
  std::uint32_t configSaves = 0;
  std::vector<std::string> atCommands;  // first 10,000
  std::uint32_t moduleRate = 0;  // from AT+IPR (0: never set)
  bool moduleEcho = true;
  bool upgradeStarted = false;
  std::uint64_t upgradeAtUs = 0;
  std::uint64_t loaderListensAtUs = 0;
  std::uint32_t queries = 0;
  std::vector<PageRecord> pages;                      // every page frame in arrival order, lost ones too
  std::map<std::uint16_t, std::uint32_t> pageWrites;  // page address -> times written
  std::uint32_t pagesLost = 0;
  std::uint32_t pagesIgnored = 0;  // page frames heard after the loader stopped (stopAfterPage)
  std::uint32_t acksSent = 0;
  std::uint32_t acksDropped = 0;
  std::map<std::uint8_t, std::uint32_t> repliesSent;  // loader reply type -> frames sent
  std::uint64_t bytesFromPc = 0;     // characters the PC put on the line
  std::uint64_t bytesAssembled = 0;  // characters the far end's UART assembled from them
  std::uint64_t bytesLost = 0;       // sent while nothing listened (loader not powered, bad rate)
  std::uint64_t framingErrors = 0;   // among the assembled ones
  std::uint64_t loaderSkipped = 0;   // bytes the loader skipped to find a frame
  std::uint32_t pagesCut = 0;        // page frames begun, then dropped by a silence within them
  std::uint64_t bytesToPc = 0;       // characters the PC's UART assembled
  std::uint64_t babbleLines = 0;         // GGA sentences put on the line
  std::uint64_t babbleLinesDropped = 0;  // skipped: transmitter busy or PC not reading
  std::uint64_t babbleBytesDropped = 0;
  std::uint32_t powerOns = 0;  // times powered on again (SIGUSR1)
};

// bytesDroppedByDaemon: what the daemon around the model could not deliver (listed when not 0).
std::string ReportToJson(const Report& report, std::uint64_t bytesDroppedByDaemon = 0);

class CFarEnd;
class CFaults;
class CLine;

class CDeviceModel {
 public:
  explicit CDeviceModel(ModelOptions options);
  ~CDeviceModel();
  CDeviceModel(const CDeviceModel&) = delete;
  CDeviceModel& operator=(const CDeviceModel&) = delete;

  // Bytes the PC put on the line at pcRate (8N1), the first starting at nowUs
  // (or when the PC's previous bytes have left the wire). A pcRate outside
  // 50..10,000,000 puts nothing on the line.
  void ReceiveFromPc(std::span<const std::uint8_t> bytes, std::uint32_t pcRate, std::uint64_t nowUs);
  // Bytes that have reached the PC's UART listening at pcRate by nowUs, as
  // chunks in arrival order (one chunk per reply, or per split piece).
  std::vector<std::vector<std::uint8_t>> TakeBytesForPc(std::uint64_t nowUs, std::uint32_t pcRate);
  // Earliest time at which something new happens (a byte due to the PC, a
  // delayed reply, a character complete at the far end), UINT64_MAX when
  // nothing is pending. Assumes the PC keeps listening at its last rate.
  std::uint64_t NextEventUs() const;
  // The receiver powered on again, as when a board is put in its fixture: the
  // direct link is closed and it prints its start-up line.
  void PowerOn(std::uint64_t nowUs);

  std::span<const std::uint8_t, 65536> Flash() const;
  const Report& GetReport() const { return m_report; }
  std::string ReportJson(std::uint64_t bytesDroppedByDaemon = 0) const {
    return ReportToJson(m_report, bytesDroppedByDaemon);
  }

  // The receiver port's and the loader's rate as the far end sends now.
  std::uint32_t DeviceRate() const;

 private:
  struct PendingReply;
  void Advance(std::uint64_t nowUs);
  void Emit();
  void PlaceReply(PendingReply& reply, std::uint64_t atUs);
  void Babble(std::uint64_t nowUs, std::uint64_t otherDueUs);
  void AssembleInstant(std::uint64_t nowUs);
  void NotePcRate(std::uint32_t rate);
  std::uint64_t ChunkDueUs(std::uint64_t tag) const;
  double Rel(std::uint64_t us) const;
  std::uint64_t Abs(double rel) const;

  ModelOptions m_options;
  Report m_report;
  std::unique_ptr<CFarEnd> m_farEnd;
  std::unique_ptr<CFaults> m_faults;
  std::unique_ptr<CLine> m_toDevice;
  std::unique_ptr<CLine> m_toPc;
  std::vector<PendingReply> m_pending;  // in due order
  std::deque<std::uint64_t> m_chunkDueUs;  // instant mode: delivery time per chunk tag
  std::uint64_t m_firstChunkTag = 0;        // tag of m_chunkDueUs[0]
  std::uint64_t m_nextTag = 0;
  std::uint64_t m_epochUs = 0;
  bool m_haveEpoch = false;
  std::uint64_t m_nowUs = 0;
  std::uint64_t m_txFreeUs = 0;  // instant mode: the far end's transmitter is busy until then
  std::uint32_t m_lastPcRate = 0;
  std::uint64_t m_nextBabbleUs = 0;  // kNever once the clock would overflow
};

}  // namespace sim
