#pragma once
// What the terminal configurator learns of the window's Set, from the run's
// events alone: whether the port opened (or why not), how many items still
// wait to go, whether everything has gone out, and the board a Set was for
// and how it ended.
#include <optional>
#include <string>

#include "configurator/set_run/set_observer.h"

namespace torvik {

struct BoardFacts {
  std::string serialNo, localId, userPass, typeName, typeBaud;
};

class CSetWatch final : public ISetObserver {
 public:
  bool PortOpen() const { return m_portOpen; }
  const serial::OpenError& OpenError() const { return m_openError; }
  bool Idle() const { return m_idle; }
  int Queued() const { return m_queued; }
  const BoardFacts& Board() const { return m_board; }
  // How the last Set ended; empty before the next Set has ended.
  std::optional<SetOutcome> Outcome() const { return m_outcome; }
  void ForgetOutcome() { m_outcome.reset(); }

  // Before the port is opened anew: only the new opening's event counts.
  void ForgetPort() { m_portOpen = false; }
  void OnPortOpened() override { m_portOpen = true; }
  void OnPortFailed(const serial::OpenError& error) override {
    m_portOpen = false;
    m_openError = error;
  }
  void OnSetStarted(const SetFacts& f) override {
    m_board = {std::string(f.serialNo), std::string(f.localId), std::string(f.userPass), std::string(f.typeName),
               std::string(f.typeBaud)};
  }
  void OnItemsQueued(int waiting) override {
    m_queued = waiting;
    if (waiting > 0) m_idle = false;
  }
  void OnItemSent(const SentItem& item) override { m_queued = item.stillQueued; }
  void OnIdle() override { m_idle = true; }
  void OnSetEnded(SetOutcome outcome) override { m_outcome = outcome; }

 private:
  bool m_portOpen = false;
  serial::OpenError m_openError;
  bool m_idle = true;
  int m_queued = 0;
  BoardFacts m_board;
  std::optional<SetOutcome> m_outcome;
};

}  // namespace torvik
