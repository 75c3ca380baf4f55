// Opening a Sy/Max serial link: the serial port driver with the Sy/Max state
// machines on its worker.
#include "link/protocols.h"
#include "link/serial_port.h"

namespace linklib {

LinkHandle* OpenSymax(const char* port_name, uint8_t net_to_net, const Route* route) {
  return OpenSerialLink(port_name, net_to_net, route, SymaxReceiveByte, SymaxNextByte);
}

}  // namespace linklib
