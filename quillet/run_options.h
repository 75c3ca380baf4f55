// The run options that quillet's command line fills; the register screen
// reads the shared ones for the whole run.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/link.h"

namespace quillet {

// The address holds a Linux path (a serial device) or a host name of up to
// 4095 characters; a longer one is refused, never cut into another name.
constexpr size_t kAddressLimit = 4096;
constexpr size_t kTextLimit = 84;          // route: 83 characters and the terminator
constexpr size_t kPortSettingsLimit = 41;  // 40 characters and the terminator

enum class ModbusMode { None, Ascii, Rtu };

struct RunOptions {
  char address[kAddressLimit] = {};
  char route_text[kTextLimit] = {};
  linklib::Route route;
  char port_settings[kPortSettingsLimit] = {};
  bool port_settings_given = false;  // -M seen
  uint32_t start_register = 1;
  uint32_t register_count = 20;
  bool gateway = false;
  bool net_to_net = false;
  bool priority = false;
  bool crc = false;
  ModbusMode modbus_mode = ModbusMode::None;
  bool status_polling_suppressed = false;
  bool hex_register_numbers = false;
  bool trap_on_error = false;
  bool mode_3x = false;
  bool mode_6x = false;
  int32_t file_number_6x = 0;
  uint32_t tcp_port = 502;
  int32_t synet_speed = 62;
  int32_t synet_size = 100;
  uint32_t highest_register = 8192;
  linklib::LinkHandle* link = nullptr;
};

}  // namespace quillet
