#include "simulator/daemon/options.h"

#include <charconv>
#include <cstdlib>

namespace sim {

std::string DaemonUsage() {
  return "usage: receiver-sim --link PATH [options]\n"
         "Serves the GNSS receiver with its modem board on a pseudo-terminal; PATH becomes a\n"
         "symlink to its slave side, whose path is printed on stdout.\n"
         "\n"
         "  --link PATH             symlink to make (an old symlink is replaced); removed on exit\n"
         "  --module NAME           module name the loader reports (default GTM900-2)\n"
         "  --serial TEXT           serial number the loader reports (default SIM0000001)\n"
         "  --software-version TEXT software version the loader reports (default 591021)\n"
         "  --refuse                answer the identification query with '+' (refusal)\n"
         "  --silent                never answer anything\n"
         "  --power-on-delay MS     the loader listens this long after KAVEL,SOFTWARE, (default 0)\n"
         "  --receiver-rate N       the receiver port's rate at start (default 9600)\n"
         "  --wire-timing           every byte takes 10 bit times on the line, both ways\n"
         "  --drop-ack LIST         leave these pages unacknowledged (comma-separated, from 1)\n"
         "  --drop-page LIST        lose these page frames on the way in: not written, not answered\n"
         "  --late-ack MS           send page acknowledgements this much later\n"
         "  --late-ack-pages LIST   only these pages' acknowledgements are late (default: all)\n"
         "  --late-answer MS        send identification answers this much later\n"
         "  --split bytes|random    send replies byte by byte, or in random chunks, with small gaps\n"
         "  --garbage               random bytes in front of every loader reply frame\n"
         "  --damage                a copy with a wrong complement byte in front of every loader reply\n"
         "  --noise P               chance per byte sent to the PC of one flipped bit (0..1)\n"
         "  --noise-in P            the same for bytes from the PC\n"
         "  --seed N                seed of every random fault (default 1)\n"
         "  --burst N               KAVEL,BURST, is answered with N bytes, byte i = (i*7 + i/251) & 0xFF\n"
         "  --echo                  send back every byte received, interpret nothing\n"
         "  --finish-after N        send reply ',' after the Nth page is first written (repeats do not count)\n"
         "  --zero-after N          send reply '0' the same way\n"
         "  --stop-after N          the loader answers nothing after the Nth page is first written\n"
         "  --ack-delay MS          answer settings and KAVEL,COM, this much later (default 0)\n"
         "  --no-ack NAMES          store these settings but never answer them (comma-separated,\n"
         "                          e.g. APN,SERIAL,COM)\n"
         "  --error-reply NAMES     store these settings but answer them KAVEL,<NAME>,ERROR, which\n"
         "                          is no acknowledgement (comma-separated, e.g. COM)\n"
         "  --babble MS             the receiver prints a GGA sentence every MS at its port rate\n"
         "  --flash-out FILE        the board's 64 KB memory image, rewritten after every page\n"
         "  --report FILE           JSON record of what happened, kept up to date and written at exit\n"
         "  --exit-after SECONDS    stop after this long\n"
         "  --help                  this text\n"
         "\n"
         "SIGUSR1 powers the receiver on again, as a board put in its fixture: it closes the\n"
         "direct link and prints its start-up sentence ($GPTXT,...,RECEIVER STARTED).\n";
}

namespace {

template <typename T>
bool ParseNumber(std::string_view text, T& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

// "3,5,40": page numbers from 1; false for anything else, an empty list or item included.
bool ParsePageList(std::string_view text, std::set<std::uint32_t>& pages) {
  std::set<std::uint32_t> parsed;
  for (;;) {
    const std::size_t comma = text.find(',');
    std::uint32_t page = 0;
    if (!ParseNumber(text.substr(0, comma), page) || page == 0) return false;
    parsed.insert(page);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  pages.insert(parsed.begin(), parsed.end());
  return true;
}

// "APN,SERIAL,COM": command names as the receiver sees them; false for an empty list or item.
bool ParseNameList(std::string_view text, std::set<std::string>& names) {
  std::set<std::string> parsed;
  for (;;) {
    const std::size_t comma = text.find(',');
    const std::string_view name = text.substr(0, comma);
    if (name.empty()) return false;
    parsed.emplace(name);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  names.insert(parsed.begin(), parsed.end());
  return true;
}

bool ParseDecimal(std::string_view text, double& value) {
  // from_chars for double is missing in older standard libraries.
  std::string copy(text);
  char* end = nullptr;
  value = std::strtod(copy.c_str(), &end);
  return !copy.empty() && end == copy.c_str() + copy.size();
}

}  // namespace

std::optional<std::string> ParseDaemonOptions(const std::vector<std::string_view>& args, DaemonOptions& options) {
  ModelOptions& m = options.model;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view name = args[i];
    std::optional<std::string_view> inlineValue;
    if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string_view::npos) {
      inlineValue = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    const std::string option(name);
    std::string_view value;
    auto need = [&]() -> bool {
      if (inlineValue) {
        value = *inlineValue;
        return true;
      }
      if (i + 1 >= args.size()) return false;
      value = args[++i];
      return true;
    };
    auto bad = [&](std::string_view what) { return option + ": " + std::string(what) + " expected, got '" + std::string(value) + "'"; };
    auto flag = [&](bool& target) -> std::optional<std::string> {
      if (inlineValue) return option + " takes no value";
      target = true;
      return std::nullopt;
    };
    std::optional<std::string> problem;
    if (option == "--help" || option == "-h") {
      options.help = true;
    } else if (option == "--refuse") {
      problem = flag(m.refuse);
    } else if (option == "--silent") {
      problem = flag(m.silent);
    } else if (option == "--wire-timing") {
      problem = flag(m.wireTiming);
    } else if (option == "--garbage") {
      problem = flag(m.garbage);
    } else if (option == "--damage") {
      problem = flag(m.damage);
    } else if (option == "--echo") {
      problem = flag(m.echo);
    } else if (option == "--link" || option == "--module" || option == "--serial" || option == "--software-version" ||
               option == "--flash-out" || option == "--report") {
      if (!need()) return option + " needs a value";
      std::string& target = option == "--link"          ? options.link
                            : option == "--module"      ? m.module
                            : option == "--serial"      ? m.serial
                            : option == "--flash-out"   ? options.flashOut
                            : option == "--report"      ? options.report
                                                        : m.softwareVersion;
      target = std::string(value);
    } else if (option == "--power-on-delay" || option == "--receiver-rate" || option == "--late-ack" ||
               option == "--late-answer" || option == "--burst" || option == "--finish-after" ||
               option == "--zero-after" || option == "--stop-after" || option == "--ack-delay" ||
               option == "--babble") {
      if (!need()) return option + " needs a value";
      std::uint32_t number = 0;
      if (!ParseNumber(value, number)) return bad("a whole number");
      if (option == "--receiver-rate" && !PlausibleRate(number)) return bad("a rate from 50 to 10000000");
      std::uint32_t& target = option == "--power-on-delay" ? m.powerOnDelayMs
                              : option == "--receiver-rate" ? m.receiverRate
                              : option == "--late-ack"      ? m.lateAckMs
                              : option == "--late-answer"   ? m.lateAnswerMs
                              : option == "--burst"         ? m.burstBytes
                              : option == "--finish-after"  ? m.finishAfterPage
                              : option == "--stop-after"    ? m.stopAfterPage
                              : option == "--ack-delay"     ? m.ackDelayMs
                              : option == "--babble"        ? m.babbleMs
                                                            : m.zeroAfterPage;
      target = number;
    } else if (option == "--seed") {
      if (!need()) return option + " needs a value";
      if (!ParseNumber(value, m.seed)) return bad("a whole number");
    } else if (option == "--noise" || option == "--noise-in") {
      if (!need()) return option + " needs a value";
      double p = 0;
      if (!ParseDecimal(value, p) || !(p >= 0 && p <= 1)) return bad("a probability from 0 to 1");
      (option == "--noise" ? m.noise : m.noiseToDevice) = p;
    } else if (option == "--exit-after") {
      if (!need()) return option + " needs a value";
      if (!ParseDecimal(value, options.exitAfterSeconds) || !(options.exitAfterSeconds > 0)) return bad("seconds above 0");
    } else if (option == "--split") {
      if (!need()) return option + " needs a value";
      if (value == "bytes") {
        m.split = Split::Bytes;
      } else if (value == "random") {
        m.split = Split::Random;
      } else {
        return bad("bytes or random");
      }
    } else if (option == "--drop-ack" || option == "--drop-page" || option == "--late-ack-pages") {
      if (!need()) return option + " needs a value";
      std::set<std::uint32_t>& pages = option == "--drop-ack"    ? m.dropAckPages
                                       : option == "--drop-page" ? m.dropPages
                                                                 : m.lateAckPages;
      if (!ParsePageList(value, pages)) return bad("page numbers from 1, comma-separated");
    } else if (option == "--no-ack" || option == "--error-reply") {
      if (!need()) return option + " needs a value";
      if (!ParseNameList(value, option == "--no-ack" ? m.noAck : m.errorReply))
        return bad("command names, comma-separated");
    } else {
      return "unknown option '" + std::string(args[i]) + "' (see --help)";
    }
    if (problem) return problem;
  }
  if (!options.help && options.link.empty()) return std::string("--link PATH is required (see --help)");
  return std::nullopt;
}

}  // namespace sim
