// What kxtload's command line and prompts collect for one download.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/link.h"

namespace kxtload {

// Names hold a Linux path of up to 4095 characters and the terminator: the
// program file, and the address (a device path or a host name). A longer
// name is refused, never cut into another name.
constexpr size_t kFileNameLimit = 4096;
constexpr size_t kAddressLimit = 4096;
constexpr size_t kTextLimit = 81;  // route text and prompt answers: 80 characters
constexpr size_t kPortSettingsLimit = 41;
constexpr uint16_t kDefaultTcpPort = 502;
constexpr const char* kDefaultPortSettings = "9600,E,8,1";

struct RunOptions {
  // Kept wider than the module's 16 bits so that a number too large for them
  // is refused as typed instead of wrapping onto a valid channel or register.
  int32_t channel = 0;          // 0: not given yet
  int32_t status_register = 0;  // 0: the channel's default, 2 x channel
  bool auto_start = false;
  int32_t channel_count = 1;
  bool erase = true;
  char port_settings[kPortSettingsLimit] = {};
  char file_name[kFileNameLimit] = {};
  char address[kAddressLimit] = {};
  char route_text[kTextLimit] = {};
  uint32_t tcp_port = kDefaultTcpPort;
  linklib::Route route;
  bool net_to_net = false;
  bool gateway = false;
};

}  // namespace kxtload
