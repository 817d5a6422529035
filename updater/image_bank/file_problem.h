#pragma once
// Why loading the image bank stopped: which file, what was being done with
// it, and the system's cause. Turned into a user-visible text by the program.
#include <cstdint>
#include <string>

namespace brevan {

enum class FileStep {
  None,
  Open,
  Read,
  Create,
  Write,
  OverlayTruncated,  // the overlay runs past the end of the program file
};

struct FileProblem {
  FileStep step = FileStep::None;
  std::string path;
  std::string cause;           // the system's text (Open/Read/Create/Write)
  std::int64_t bytesFound = 0; // OverlayTruncated: overlay bytes present

  explicit operator bool() const { return step != FileStep::None; }
};

}  // namespace brevan
