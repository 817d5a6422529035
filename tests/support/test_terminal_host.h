#pragma once
// The terminal host with the test host's message boxes: printed as the
// terminal prints them, then recorded and, when held, kept open until a
// test's "person" answers them (see message_box_desk.h).
#include <string_view>
#include <vector>

#include "framework/terminal/terminal_host.h"
#include "support/message_box_desk.h"

namespace testing_support {

class TestTerminalHost : public fw::TerminalHost {
 public:
  using TerminalHost::TerminalHost;
  ~TestTerminalHost() override { m_boxes.Release(); }

  int MessageBox(std::string_view text) override {
    const int answer = TerminalHost::MessageBox(text);
    if (m_boxes.Show(text, OnUiThread())) SendMessage(fw::kWmEnable, 1, 0);
    return answer;
  }

  std::vector<fw::RecordedMessageBox> MessageBoxes() const { return m_boxes.Boxes(); }
  void HoldMessageBoxes(bool hold) { m_boxes.Hold(hold); }
  int AnswerMessageBoxes() { return m_boxes.Answer(); }
  int OpenMessageBoxes() const { return m_boxes.Open(); }

 private:
  fw::MessageBoxDesk m_boxes;
};

}  // namespace testing_support
