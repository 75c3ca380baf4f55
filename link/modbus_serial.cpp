// Opening Modbus RTU and ASCII links, and the transmitter each framing uses.
#include "link/modbus_serial.h"

#include <mutex>

#include "link/protocols.h"
#include "link/serial_port.h"

namespace linklib {
namespace {

constexpr uint16_t kModbusChunk = 258;

LinkHandle* OpenModbusSerial(const char* port_name, uint16_t slave, uint32_t kind,
                             RxHandler rx_handler) {
  Route route;
  route.count = slave;  // the first route word holds the slave address
  LinkHandle* h = OpenSerialLink(port_name, 0, &route, rx_handler, ModbusSerialNextByte);
  if (!h) return nullptr;
  std::lock_guard<std::recursive_mutex> guard(h->pump_lock);
  h->kind = kind;
  h->mode = static_cast<uint8_t>(kind);
  h->read_chunk = kModbusChunk;
  h->tx_chunk = kModbusChunk;
  return h;
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
