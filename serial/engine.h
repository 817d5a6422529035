#pragma once
// serial::Engine<T>: the only way to make a serial engine. It is the most
// derived class, and its destructor closes the port before anything else
// goes, so the monitor thread has ended before any part of a derived engine
// (its OnDataReceived and the fields that hook fills) is destroyed. A class
// derived from CTTYnew takes the EngineKey in its constructor and hands it
// on; only Engine can make one:
//
//   class CMyTTY : public CTTYnew {
//    public:
//     CMyTTY(serial::EngineKey key, serial::IEngineOwner& owner) : CTTYnew(key, owner) {}
//     void OnDataReceived(const std::uint8_t* data, int length) override;
//   };
//   serial::Engine<CMyTTY> m_tty{*this};  // a member of the dialog that owns it
#include <type_traits>
#include <utility>

#include "serial/tty_engine.h"

namespace serial {

template <class T>
class Engine final : public T {
  static_assert(std::is_base_of_v<CTTYnew, T>, "an engine is a CTTYnew");

 public:
  template <class... Args>
  explicit Engine(IEngineOwner& owner, Args&&... args) : T(EngineKey{}, owner, std::forward<Args>(args)...) {
    owner.AdoptEngine(*this);
  }
  ~Engine() override {
    this->Close();
    this->Owner().ReleaseEngine(*this);
  }
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
};

}  // namespace serial
