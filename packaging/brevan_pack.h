#pragma once
// brevan-pack: appends the ten firmware images to the bare updater program,
// and lists what the updater would load from a file.
#include <iosfwd>
#include <span>
#include <string>

namespace brevan::pack {

// The command line without the program name; returns the exit status:
// 0 done, 1 a file refused (nothing written), 2 bad usage.
int RunBrevanPack(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace brevan::pack
