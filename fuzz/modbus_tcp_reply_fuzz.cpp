// The Modbus TCP reply collector and reply checks: a link connected over
// loopback to a harness-held socket, which answers each request with the
// fuzzer's bytes (sent on the link's first poll). The first byte chooses the
// operation, the second the register count.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "link/link.h"
#include "link/link_handle.h"
#include "platform/descriptor_poll.h"
#include "platform/sim_tcp_listener.h"

namespace {

struct Connection {
  std::unique_ptr<platform::TcpListener> listener;
  linklib::LinkHandle* link = nullptr;
  int server = -1;
};

const uint8_t* reply_data = nullptr;
size_t reply_size = 0;

Connection& Connected() {
  static Connection connection = [] {
    Connection c;
    c.listener = platform::TcpListener::Listen(0, nullptr);
    if (!c.listener) std::abort();
    c.link = linklib::OpenModbusTCP("127.0.0.1", c.listener->port(), 7);
    if (!c.link) std::abort();
    for (int tries = 0; tries < 100 && c.server < 0; ++tries) {
      platform::WaitReadable(c.listener->fd(), 100);
      c.server = c.listener->Accept();
    }
    if (c.server < 0) std::abort();
    return c;
  }();
  return connection;
}

// Takes the request off the server side and sends the reply, once.
uint32_t Answer(uint32_t) {
  if (!reply_data) return 1;
  Connection& c = Connected();
  uint8_t scratch[512];
  while (platform::ReceiveFromSocket(c.server, scratch, sizeof scratch) > 0) {
  }
  size_t sent = 0;
  while (sent < reply_size) {
    long n = platform::SendToSocket(c.server, reply_data + sent, reply_size - sent);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  reply_data = nullptr;
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 1024) return 0;
  Connection& c = Connected();
  linklib::LinkHandle* link = c.link;
  link->reply_timeout = 1;
  linklib::SetWaitCallback(link, Answer, 0);
  reply_data = data + 2;
  reply_size = size - 2;
  uint32_t count = (data[1] & 0x7F) + 1u;
  uint16_t words[128] = {};
  linklib::SetProgramStyle((data[0] & 0x80) ? linklib::ProgramStyle::RegisterEditor
                                            : linklib::ProgramStyle::Downloader);
  switch (data[0] % 5) {
    case 0:
      linklib::ReadRegisters(link, 1, count, words);
      break;
    case 1:
      linklib::WriteRegisters(link, 1, count, words);
      break;
    case 2:
      linklib::ReadFileRecords(link, 1, 0, count, words);
      break;
    case 3:
      linklib::Read3XRegisters(link, 1, 1, count, words);
      break;
    default:
      linklib::WriteFileRecords(link, 1, 0, count, words);
      break;
  }
  reply_data = nullptr;
  return 0;
}
