#pragma once
// --profile and --save-profile of the terminal configurator. The profile is
// read once the whole command line is known, its options go under the
// line's (an option given on both takes the line's value), and the run
// names the file it was made with: its name and SHA-256, printed at the
// start and kept with every board's record. --save-profile writes the
// merged options before the run; with no --port it is all the run does.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "configurator/app/torvik_options.h"
#include "configurator/app/torvik_profile_text.h"
#include "frontend/run_context.h"

namespace torvik {

// Profiles are a few hundred bytes; a larger file is not one.
inline constexpr std::size_t kProfileMaxBytes = 64 * 1024;

// The file a run's options came from.
struct ProfileIdentity {
  std::string file;    // as given
  std::string name;    // without directory and extension
  std::string sha256;  // of the file's bytes, 64 hex digits
  std::string ShortDigest() const { return sha256.substr(0, 12); }
};

struct LoadedProfile {
  ProfileIdentity identity;
  std::vector<ProfileEntry> entries;
  std::string fault;  // the message naming the file (and line); empty when loaded
};

LoadedProfile LoadProfile(const std::string& file);
// The message for a fault of the profile file's text.
std::string ProfileFaultText(const std::string& file, const ProfileFault& fault);
// Writes the options as a profile; the message when it could not.
std::optional<std::string> SaveProfile(const std::string& file, const std::vector<GivenOption>& values);

class CTorvikProfileOptions {
 public:
  // A front-end option of this class: taken into ok (false refuses its value).
  bool Take(std::string_view name, const std::string& value, bool& ok);
  // One of the program's options from the command line, already accepted.
  void Given(std::string_view name, const std::string& value) { m_given.push_back({std::string(name), value}); }
  // After the line: reads the profile and merges it under the line's options.
  void Complete(TorvikOptions& options);
  // The profile could not be read or merged: Start reports it.
  bool Faulted() const { return !m_fault.empty(); }
  // --save-profile was given.
  bool Saves() const { return m_saveTo.has_value(); }
  // Nothing to run but the saving.
  bool SaveOnly(const TorvikOptions& options) const { return m_saveTo && options.port.empty(); }

  // At the run's start: a fault of the profile (exit 64), the profile named,
  // the options saved. A code ends the run with it; nullopt goes on.
  std::optional<int> Start(fe::RunContext& context, const TorvikOptions& options) const;
  // The profile the run was made with.
  const std::optional<ProfileIdentity>& Profile() const { return m_profile; }

 private:
  std::optional<std::string> m_file, m_saveTo;
  std::vector<GivenOption> m_given;
  std::optional<ProfileIdentity> m_profile;
  std::vector<GivenOption> m_values;  // the merged options
  std::string m_fault;
};

}  // namespace torvik
