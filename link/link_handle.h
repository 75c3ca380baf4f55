// The link handle record and what the protocol state machines share.
// Internal to the link library (and its tests); programs use link.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "link/frame_pool.h"
#include "link/link.h"

namespace platform {
class TcpConnection;
}

namespace linklib {

class SerialWorker;  // link/serial_port.cpp: the port, its thread and events

constexpr uint32_t kHandleMark = 0x10BABEEE;
constexpr uint16_t kFlagCrc = 0x0040;
constexpr uint16_t kFlagWriteOutstanding = 0x0100;
constexpr uint16_t kNothingToSend = 0xFFFF;
constexpr size_t kMessageSize = 84;  // 83 characters and the terminator

using RxHandler = void (*)(LinkHandle* handle, uint8_t byte);
using TxSource = uint16_t (*)(LinkHandle* handle);

struct LinkHandle {
  uint32_t mark = 0;
  uint32_t kind = 0;

  // Serial side (null for Modbus TCP).
  SerialWorker* worker = nullptr;
  bool rts_toggle = false;  // RTS raised only while sending (two-wire RS-485)

  Route route;
  Route gateway_route_sent;

  uint8_t read_buffer[260] = {};
  RxHandler rx_handler = nullptr;
  uint16_t read_chunk = 0;
  uint8_t mode = 0;
  uint8_t rx_state = 0;
  uint8_t rx_flags = 0;
  FrameList rx_queue;
  FrameBuffer* rx_frame = nullptr;
  uint8_t* rx_cursor = nullptr;
  uint16_t rx_room = 0;
  uint16_t rx_check = 0;
  uint8_t response_char = 0;
  uint8_t rx_seq = 0;

  uint8_t tx_stage[258] = {};
  uint16_t tx_staged = 0;
  TxSource tx_source = nullptr;
  uint16_t tx_chunk = 0;
  uint8_t tx_state = 0;
  uint16_t link_flags = 0;
  FrameList tx_queue;
  FrameBuffer* tx_frame = nullptr;
  uint8_t* tx_cursor = nullptr;
  uint16_t tx_left = 0;
  uint16_t tx_check = 0;
  uint8_t tx_seq = 0;
  uint8_t enq_left = 0;
  uint8_t retries_left = 0;

  // Read by the worker's receivers, set by the caller's thread.
  std::atomic<int16_t> reply_expected{0};
  uint8_t transnum_counter = 0;
  uint8_t net_to_net = 0;
  uint16_t reply_timeout = 0;
  WaitCallback wait_callback = nullptr;
  uint32_t wait_user = 0;
  uint8_t priority = 0;
  uint8_t expected_transnum = 0;

  // Modbus TCP.
  platform::TcpConnection* socket = nullptr;
  uint32_t server_ipv4 = 0;  // host byte order
  uint16_t server_port = 0;

  char message[kMessageSize] = {};

  // Guards the state machines and the staged bytes: the worker holds it while
  // it runs rx_handler and the transmit pump, the caller while it kicks.
  // Recursive because a receiver may kick the transmitter.
  std::recursive_mutex pump_lock;
};

// Allocates a handle (zero-filled, registered as live, mark not yet set).
LinkHandle* AllocateHandle();
// Forgets and frees a handle; its mark is cleared first.
void FreeHandle(LinkHandle* handle);
// True for a live handle whose mark is valid; never reads freed memory.
bool IsValidHandle(const LinkHandle* handle);

// The wait callback installed by every open: it always answers go on.
uint32_t DefaultWaitCallback(uint32_t user);

// Bounded message setters: a long text is cut at 83 characters.
void SetMessage(LinkHandle* handle, const char* text);
void SetMessageF(LinkHandle* handle, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

}  // namespace linklib
