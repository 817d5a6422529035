// Windows tells no more than the error's kind here: a held COM port cannot be
// traced to its holder without tools the programs do not ship.
#include "serial/port_list.h"
#include "serial/port_facts.h"

namespace serial {

PortFacts GatherPortFacts(const serial::OpenError& error) {
  PortFacts facts;
  if (error.kind == serial::OpenFailure::NotFound || error.kind == serial::OpenFailure::NotSerial) {
    facts.ports = ListCommPorts();
  }
  facts.holdersComplete = true;  // no hint to run elevated: it would not name the holder either
  return facts;
}

}  // namespace serial
