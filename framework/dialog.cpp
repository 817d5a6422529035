#include "framework/dialog.h"

#include <algorithm>

#include "serial/tty_engine.h"

namespace fw {

// Engines are members of the derived dialog and are gone by now (each released itself).
CDialog::~CDialog() {
  if (m_host != nullptr) m_host->ForgetDialog(*this);
}

void CDialog::WaitForMonitorEnd(serial::IMonitorThread& thread) {
  if (m_host == nullptr) {
    thread.Join();
    return;
  }
  m_host->JoinServingSentMessages(thread.WaitHandle(), [&thread] { thread.Join(); });
}

void CDialog::ShowEngineMessage(serial::EngineMessage message) {
  // Engines run only while the dialog is attached: Detach closes them first.
  if (m_host == nullptr) return;
  const std::string text = EngineMessageText(message);
  if (!text.empty()) m_host->MessageBox(text);
}

std::string CDialog::EngineMessageText(serial::EngineMessage) const { return {}; }

void CDialog::AdoptEngine(CTTYnew& engine) {
  if (std::find(m_engines.begin(), m_engines.end(), &engine) == m_engines.end()) m_engines.push_back(&engine);
}

void CDialog::ReleaseEngine(CTTYnew& engine) { std::erase(m_engines, &engine); }

void CDialog::Detach() {
  if (m_host == nullptr) return;
  const std::vector<CTTYnew*> engines = m_engines;  // a handler served meanwhile may change the list
  for (CTTYnew* engine : engines) engine->Close();
  m_host = nullptr;
}

bool CDialog::UpdateData(bool save) {
  CDataExchange dx(*this, save);
  DoDataExchange(dx);
  return !dx.m_bFailed;
}

void CDialog::EndDialog(int result) {
  if (m_ended) return;
  m_ended = true;
  m_result = result;
  Host().EndDialog(result);
}

void CDialog::OnCommand(int id, Notify code, CommandHandler handler) {
  for (CommandEntry& entry : m_commands) {
    if (entry.id == id && entry.code == code) {
      entry.handler = std::move(handler);
      return;
    }
  }
  m_commands.push_back({id, code, std::move(handler)});
}

void CDialog::OnMessage(unsigned msg, MessageHandler handler) {
  for (MessageEntry& entry : m_messages) {
    if (entry.msg == msg) {
      entry.handler = std::move(handler);
      return;
    }
  }
  m_messages.push_back({msg, std::move(handler)});
}

void CDialog::DispatchCommand(int id, Notify code) {
  for (const CommandEntry& entry : m_commands) {
    if (entry.id == id && entry.code == code) {
      // A copy: the handler may change the map.
      CommandHandler handler = entry.handler;
      handler();
      return;
    }
  }
  if (code != Notify::Clicked) return;
  if (id == kIdOk) OnOK();
  else if (id == kIdCancel) OnCancel();
}

std::intptr_t CDialog::DispatchMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  for (const MessageEntry& entry : m_messages) {
    if (entry.msg == msg) {
      MessageHandler handler = entry.handler;
      return handler(wparam, lparam);
    }
  }
  return 0;
}

}  // namespace fw
