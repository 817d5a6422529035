#include "frontend/port_advice.h"

#include <algorithm>
#include <cstddef>

#include "framework/text_format.h"
#include "frontend/port_advice_strings.h"

namespace fe {

using namespace serial;
namespace {

constexpr std::size_t kPathShown = 120;   // bytes of a path kept whole
constexpr std::size_t kPathHead = 50;     // of a longer path: its start ...
constexpr std::size_t kPathTail = 60;     // ... and its end
constexpr std::size_t kPortsShown = 12;
constexpr std::size_t kHoldersShown = 4;
constexpr std::size_t kTextShown = 200;   // of a system text, a group, user or command name

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Control characters would break the line or drive the terminal.
std::string OneLine(std::string_view text, std::size_t limit = kTextShown) {
  std::string out;
  out.reserve(std::min(text.size(), limit));
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    out += u < 0x20 || u == 0x7F ? '?' : c;
  }
  if (out.size() > limit) {
    std::size_t cut = limit;
    while (cut > 0 && IsContinuation(out[cut])) --cut;
    out.resize(cut);
    out += "...";
  }
  return out;
}

// A system text may end in a full stop and a line break (Win32's do); the
// line puts its own.
std::string SystemText(std::string_view text) {
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 0x20 || text.back() == '.')) {
    text.remove_suffix(1);
  }
  return OneLine(text);
}

std::string Text(fw::UiLanguage language, int id, std::initializer_list<std::string_view> args = {}) {
  return fw::FormatText(PortAdviceStrings().Lookup(language, id), args);
}

std::string Octal(unsigned mode) {
  std::string digits;
  for (int shift = 9; shift >= 0; shift -= 3) digits += static_cast<char>('0' + ((mode >> shift) & 7u));
  return digits;
}

std::string PortList(const std::vector<std::string>& ports, fw::UiLanguage language) {
  if (ports.empty()) return Text(language, kAdviceNoneFound);
  const std::string separator = Text(language, kAdviceListSeparator);
  std::string list;
  const std::size_t shown = std::min(ports.size(), kPortsShown);
  for (std::size_t i = 0; i < shown; ++i) {
    if (i > 0) list += separator;
    list += DisplayPath(ports[i]);
  }
  if (shown == ports.size()) return list;
  return Text(language, kAdviceMorePorts, {list, std::to_string(ports.size() - shown)});
}

std::string Holder(const PortHolder& holder, fw::UiLanguage language) {
  const std::string pid = std::to_string(holder.pid);
  const std::string name = OneLine(holder.name);
  return name.empty() ? Text(language, kAdviceHolderNoName, {pid}) : Text(language, kAdviceHolder, {name, pid});
}

std::string InUse(const std::string& path, const PortFacts& facts, fw::UiLanguage language) {
  if (facts.holders.empty()) {
    return Text(language, facts.holdersComplete ? kAdviceHeldByUnknown : kAdviceHeldByUnknownHint, {path});
  }
  // The modem manager is the usual suspect: it probes ports that look like modems.
  const auto manager = std::find_if(facts.holders.begin(), facts.holders.end(),
                                    [](const PortHolder& h) { return h.name == "ModemManager"; });
  if (manager != facts.holders.end()) {
    return Text(language, kAdviceHeldByModemManager, {path, Holder(*manager, language)});
  }
  const std::string separator = Text(language, kAdviceListSeparator);
  std::string holders;
  for (std::size_t i = 0; i < std::min(facts.holders.size(), kHoldersShown); ++i) {
    if (i > 0) holders += separator;
    holders += Holder(facts.holders[i], language);
  }
  return Text(language, kAdviceHeldBy, {path, holders});
}

std::string Denied(const std::string& path, const std::string& detail, const PortFacts& facts,
                   fw::UiLanguage language) {
  if (facts.group.empty()) return Text(language, kAdviceDenied, {path, detail});
  const std::string group = OneLine(facts.group);
  // Without read and write for the group, membership cannot help.
  if (facts.modeKnown && (facts.mode & 060u) != 060u) {
    return Text(language, kAdviceGroupHasNoAccess, {path, group, Octal(facts.mode)});
  }
  if (facts.sessionHasGroup) return Text(language, kAdviceDeniedInGroup, {path, group, detail});
  const std::string user = OneLine(facts.user);
  if (user.empty()) return Text(language, kAdviceDenied, {path, detail});
  return Text(language, facts.userListedInGroup ? kAdviceLogInAgain : kAdviceJoinGroup, {path, group, user});
}

int KindText(NodeKind node) {
  switch (node) {
    case NodeKind::Regular: return kAdviceKindRegular;
    case NodeKind::Directory: return kAdviceKindDirectory;
    case NodeKind::CharDevice: return kAdviceKindDevice;
    default: return kAdviceKindOther;
  }
}

}  // namespace

std::string DisplayPath(std::string_view path) {
  std::string whole = OneLine(path, path.size());
  if (whole.size() <= kPathShown) return whole;
  std::size_t head = kPathHead;
  while (head > 0 && IsContinuation(whole[head])) --head;
  std::size_t tail = whole.size() - kPathTail;
  while (tail < whole.size() && IsContinuation(whole[tail])) ++tail;
  return whole.substr(0, head) + "..." + whole.substr(tail);
}

PortAdvice ComposePortAdvice(const OpenError& error, const PortFacts& facts, fw::UiLanguage language) {
  const std::string path = DisplayPath(error.path);
  const std::string detail = SystemText(error.detail);
  switch (error.kind) {
    case OpenFailure::NotFound: {
      const int id = facts.node == NodeKind::Missing || facts.node == NodeKind::Unknown ? kAdviceMissing
                                                                                         : kAdviceNoDevice;
      return {"no-such-device", Text(language, id, {path, PortList(facts.ports, language)})};
    }
    case OpenFailure::AccessDenied:
      return {"permission-denied", Denied(path, detail, facts, language)};
    case OpenFailure::Busy:
      return {"in-use", InUse(path, facts, language)};
    case OpenFailure::NotSerial:
      return {"not-a-serial-device",
              Text(language, kAdviceNotSerial,
                   {path, Text(language, KindText(facts.node)), PortList(facts.ports, language)})};
    case OpenFailure::None:
    case OpenFailure::Other:
      break;
  }
  return {"open-failed", detail.empty() ? Text(language, kAdviceOpenFailedNoText, {path})
                                        : Text(language, kAdviceOpenFailed, {path, detail})};
}

PortAdvice AdviseOnOpenFailure(const OpenError& error, fw::UiLanguage language) {
  return ComposePortAdvice(error, GatherPortFacts(error), language);
}

}  // namespace fe
