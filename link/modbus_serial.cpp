// Opening Modbus RTU and ASCII links, and the transmitter each framing uses.
#include "link/modbus_serial.h"

#include "link/protocols.h"
#include "link/serial_port.h"

namespace linklib {
namespace {

LinkHandle* OpenModbusSerial(const char* port_name, uint16_t slave, uint32_t kind,
                             RxHandler rx_handler) {
  Route route;
  route.count = slave;  // the first route word holds the slave address
  // The open sets kind, mode and the 258-byte chunks before the worker runs.
  return OpenSerialLink(port_name, 0, &route, rx_handler, ModbusSerialNextByte, kind);
}

}  // namespace

LinkHandle* OpenModbusRTU(const char* port_name, uint16_t slave) {
  return OpenModbusSerial(port_name, slave, kKindModbusRtu, ModbusRtuReceiveByte);
}

LinkHandle* OpenModbusAscii(const char* port_name, uint16_t slave) {
  return OpenModbusSerial(port_name, slave, kKindModbusAscii, ModbusAsciiReceiveByte);
}

uint16_t ModbusSerialNextByte(LinkHandle* h) {
  return h->mode == kKindModbusAscii ? ModbusAsciiNextByte(h) : ModbusRtuNextByte(h);
}

}  // namespace linklib
