// Compiled, not run: a derived engine can be made through serial::Engine, which
// closes it before its own parts go, and in no other way.
#include "serial/engine.h"

class CMyTTY : public CTTYnew {
 public:
  CMyTTY(serial::EngineKey key, serial::IEngineOwner& owner) : CTTYnew(key, owner) {}
  void OnDataReceived(const std::uint8_t*, int) override {}
};

int main() {
  serial::CPlainEngineOwner owner;
#ifdef MAKE_IT_DIRECTLY
  CMyTTY engine(serial::EngineKey{}, owner);
#else
  serial::Engine<CMyTTY> engine(owner);
#endif
  return engine.IsConnected() ? 1 : 0;
}
