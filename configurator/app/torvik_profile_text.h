#pragma once
// A profile's text: the options of a run as an INI file, one "key = value"
// line per option, the keys the long option names without their dashes.
// Lines starting with # or ; are comments (only whole lines: a value may hold
// either character), blank lines are skipped, one optional [torvik] section
// header; a value may be quoted with " or ' (to keep blanks at its ends).
// Keys are compared without regard to ASCII case.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "configurator/app/torvik_options.h"

namespace torvik {

// An option and its value as given: name with its dashes ("--port").
struct GivenOption {
  std::string name;
  std::string value;
  bool operator==(const GivenOption&) const = default;
};

// A key = value line of a profile, its key already the option's name.
struct ProfileEntry {
  int line = 0;  // from 1
  GivenOption option;
};

enum class ProfileFaultKind {
  NotKeyValue,
  UnknownSection,
  UnknownKey,
  NotInProfile,  // an option of the command line alone (help, profile, scan, trace, ...)
  Repeated,
  OpenQuote,
  BadValue,
};

struct ProfileFault {
  ProfileFaultKind kind{};
  int line = 0;
  std::string key;    // as written; the section's name for UnknownSection
  std::string value;  // BadValue
  int firstLine = 0;  // Repeated: where the key was first given
};

struct ParsedProfile {
  std::vector<ProfileEntry> entries;  // in the file's order
  std::optional<ProfileFault> fault;  // the first; entries then incomplete
};

ParsedProfile ParseProfile(std::string_view text);

struct MergedOptions {
  TorvikOptions options;
  // Every option that has a value, in the option table's order: the command
  // line's last value, else the profile's.
  std::vector<GivenOption> values;
  std::optional<ProfileFault> fault;  // a profile value the option refuses
};

// The profile's options first, then the command line's (already accepted) over them.
MergedOptions MergeOptions(std::span<const ProfileEntry> profile, std::span<const GivenOption> commandLine);

struct ProfileWriting {
  std::string text;
  std::string unsavable;  // the first option whose value holds a line break; text then empty
};

// header: comment lines (without their line ends' CR).
ProfileWriting WriteProfileText(std::span<const GivenOption> values, std::string_view header);

}  // namespace torvik
