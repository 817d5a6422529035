#pragma once
// Where the test hosts' message boxes go: each is recorded and answered OK
// at once, unless held: then a box shown from another thread stays open until
// Answer, as a real box stays until a person closes it. Boxes of the UI
// thread itself are answered at once (a held one would hang the test).
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

struct RecordedMessageBox {
  std::string text;
  int answer;
};

class MessageBoxDesk {
 public:
  // Records the box and returns once it is answered; true when it was held
  // open (its owner is re-enabled then, as the platform does).
  bool Show(std::string_view text, bool onUiThread);
  std::vector<RecordedMessageBox> Boxes() const;
  void Hold(bool hold);
  // From any thread: closes every held box with OK; how many were open.
  int Answer();
  int Open() const;
  // No box stays held: for a host's destructor.
  void Release() {
    Hold(false);
    Answer();
  }

 private:
  mutable std::mutex m_mutex;  // boxes may come from the monitor thread
  std::condition_variable m_answered;
  std::vector<RecordedMessageBox> m_boxes;
  bool m_hold = false;
  int m_open = 0;
  std::uint64_t m_answers = 0;  // Answer calls so far
};

}  // namespace fw
