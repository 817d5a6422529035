#include "framework/dialog.h"

namespace fw {

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
