#include "link/link_messages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace linklib {
namespace {

class LinkMessages : public ::testing::Test {
 protected:
  void SetUp() override { handle_ = AllocateHandle(); }
  void TearDown() override { FreeHandle(handle_); }
  std::string Message() const { return handle_->message; }
  LinkHandle* handle_ = nullptr;
};

TEST_F(LinkMessages, SymaxTableEntriesAndFormat) {
  struct Case {
    unsigned code;
    const char* text;
  } cases[] = {
      {0, "(0) No Error"},
      {7, "(7) Protected Register"},
      {29, "(29) Illegal Route"},
      {30, "(30) Inhibit Coil In Protected Memory"},
      {31, "(31) Protected Memory"},
      {48, "(48) I/O, Register Or Channel Safeguarded"},
      {128, "(128) Dropped Unexpected Reply"},
      {135, "(135) Error Noted During A Transfer"},
      {136, "(136) Unknown Error Code"},
      {65535, "(65535) Unknown Error Code"},
  };
  for (const Case& c : cases) {
    SetSymaxStatusMessage(handle_, c.code);
    EXPECT_EQ(Message(), c.text) << c.code;
  }
}

// Every entry is a real text, so no code shows an empty or misplaced message.
TEST_F(LinkMessages, EveryTableEntryIsPresent) {
  for (unsigned code = 0; code <= 135; ++code) EXPECT_GT(std::strlen(SymaxErrorText(code)), 0u);
  for (unsigned code = 1; code <= 12; ++code) EXPECT_NE(ModbusExceptionText(code), nullptr);
  EXPECT_EQ(ModbusExceptionText(0), nullptr);
  EXPECT_EQ(ModbusExceptionText(13), nullptr);
  EXPECT_STREQ(Sa85ErrorText(1), "Bad send or status buffer size");
  EXPECT_STREQ(Sa85ErrorText(6), "SA85 error 7");
  EXPECT_STREQ(Sa85ErrorText(36), "Command can't be cancelled");
  EXPECT_EQ(Sa85ErrorText(0), nullptr);
  EXPECT_EQ(Sa85ErrorText(37), nullptr);
}

TEST_F(LinkMessages, ModbusExceptionForms) {
  struct Case {
    unsigned code;
    const char* serial;
    const char* tcp;
  } cases[] = {
      {1, "Modbus error reply 1 ILLEGAL FUNCTION", "ILLEGAL FUNCTION"},
      {2, "Modbus error reply 2 ILLEGAL DATA ADDRESS", "ILLEGAL DATA ADDRESS"},
      {9, "Modbus error reply 9 Modbus error 9", "Modbus error 9"},
      {11, "Modbus error reply 11 DOWNSTREAM DEVICE DIDN'T RESPOND",
       "DOWNSTREAM DEVICE DIDN'T RESPOND"},
      {12, "Modbus error reply 12 NO FREE MASTER PATH", "NO FREE MASTER PATH"},
      {0, "Modbus error reply 0 ", "Modbus error reply 0"},
      {13, "Modbus error reply 13 ", "Modbus error reply 13"},
      {255, "Modbus error reply 255 ", "Modbus error reply 255"},
  };
  for (const Case& c : cases) {
    SetModbusSerialException(handle_, c.code);
    EXPECT_EQ(Message(), c.serial);
    SetModbusTcpException(handle_, c.code);
    EXPECT_EQ(Message(), c.tcp);
  }
}

TEST_F(LinkMessages, SocketErrorsAndReconnectRule) {
  struct Case {
    int error_number;
    const char* text;
    bool reconnect;
  } cases[] = {
      {ECONNRESET, "Recv Circuit reset by peer", true},
      {EPIPE, "Recv Circuit terminated by time-out or failure", true},
      {ECONNABORTED, "Recv Circuit terminated by time-out or failure", true},
      {ENOTCONN, "Recv The socket is not connected", true},
      {ETIMEDOUT, "Recv Connection dropped by network or peer failure", true},
      {ENETRESET, "Recv Connection broken by keep-alive failure", true},
      {EFAULT, "Recv Buffer overflow or protection fault", false},
      {EBADF, "Recv Handle corruption S", false},
      {ENOTSOCK, "Recv Handle corruption S", false},
      {EMSGSIZE, "Recv Reply message too large", false},
      {ENETDOWN, "Recv The network subsystem has failed", false},
      {EHOSTUNREACH, nullptr, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SetSocketErrorMessage(handle_, "Recv ", c.error_number), c.reconnect);
    std::string expected =
        c.text ? c.text : "Recv  WINSOCK error " + std::to_string(c.error_number);
    EXPECT_EQ(Message(), expected);
  }
  SetSocketErrorMessage(handle_, "Send ", ECONNRESET);
  EXPECT_EQ(Message(), "Send Circuit reset by peer");
}

// The message holds 83 characters: a long text is cut, never overruns.
TEST_F(LinkMessages, LongTextsAreCutAt83Characters) {
  std::string long_text(300, 'x');
  SetMessage(handle_, long_text.c_str());
  EXPECT_EQ(Message(), std::string(83, 'x'));
  SetMessageF(handle_, "(%u) %s", 4000000000u, long_text.c_str());
  EXPECT_EQ(Message().size(), 83u);
  EXPECT_EQ(Message().substr(0, 13), "(4000000000) ");
}

}  // namespace
}  // namespace linklib
