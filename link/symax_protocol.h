// Internals of the Sy/Max serial protocol shared by its transmit and receive
// state machines, its frame encoding and its register requests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/link_handle.h"

namespace linklib::symax {

// Control characters of the link-level dialogue.
constexpr uint8_t kDle = 0x10;
constexpr uint8_t kSoh = 0x01;
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kEnq = 0x05;
constexpr uint8_t kDc1 = 0x11;
constexpr uint8_t kDc2 = 0x12;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kSyn = 0x16;
constexpr uint8_t kFiller = 0xFE;
constexpr uint8_t kRouteEnd = 0xFF;

// Bits of link_flags' low byte: what the transmitter owes the line before
// (or between) the bytes of its frame.
constexpr uint16_t kDueDoubledDle = 0x01;
constexpr uint16_t kDueEnq = 0x02;
constexpr uint16_t kDueResponse = 0x04;
constexpr uint16_t kDueResponseChar = 0x08;
constexpr uint16_t kDueBusy = 0x10;
constexpr uint16_t kDueSyn = 0x20;
constexpr uint16_t kPartnerFollows = 0x80;

// Bits of rx_flags.
constexpr uint8_t kRxAfterDle = 0x01;
constexpr uint8_t kRxCheckByte = 0x02;

// Transmit states.
constexpr uint8_t kTxIdle = 0;
constexpr uint8_t kTxRetransmit = 1;
constexpr uint8_t kTxSoh = 2;
constexpr uint8_t kTxSequence = 3;
constexpr uint8_t kTxRoute = 4;
constexpr uint8_t kTxStx = 5;
constexpr uint8_t kTxData = 6;
constexpr uint8_t kTxEtx = 7;
constexpr uint8_t kTxCheckHigh = 8;
constexpr uint8_t kTxCheckLow = 9;
constexpr uint8_t kTxAwaitAck = 10;

// Receive states.
constexpr uint8_t kRxIdle = 0;
constexpr uint8_t kRxSequence = 1;
constexpr uint8_t kRxRoute = 2;
constexpr uint8_t kRxData = 3;
constexpr uint8_t kRxCheckHigh = 4;
constexpr uint8_t kRxCheckLow = 5;

constexpr uint16_t kRouteRoom = 16;      // route characters a frame may carry
constexpr uint16_t kMaxDataBytes = 263;  // data bytes a frame may carry
constexpr uint8_t kTransmitRetries = 8;
constexpr uint8_t kEnquiryRounds = 32;
constexpr uint16_t kFillersPerRound = 10;

// One step of the frame check: a subtraction for the block check, the
// reflected CRC-16 (0xA001) with the CRC option.
uint16_t CheckStep(uint16_t check, uint8_t byte, bool crc);
inline uint16_t CheckStart(bool crc) { return crc ? 0xFFFF : 0; }

// Writes the route characters of `route` into `address` (18 bytes): two
// upper-case hexadecimal digits per drop, bit 7 of the first character set
// for a drop carrying the Net-to-Net mark, then 0xFF 0xFF.
void EncodeRoute(const Route& route, uint8_t* address);

// True when a received frame's route area is a run of hexadecimal digit
// pairs (either case, bit 7 ignored) ended by 0xFF.
bool IsValidRoute(const uint8_t* address);

}  // namespace linklib::symax
