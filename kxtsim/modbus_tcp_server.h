// kxtsim's Modbus TCP side: a loopback listener and any number of clients,
// each with its own session, all served by the one wait loop.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kxtsim/event_source.h"
#include "kxtsim/modbus_tcp_session.h"
#include "platform/sim_tcp_listener.h"

namespace kxtsim {

class ModbusTcpServer : public EventSource {
 public:
  static std::unique_ptr<ModbusTcpServer> Start(uint16_t port, ModuleModel& model,
                                                ReplyFaults& faults, RequestLog log,
                                                std::string* error);
  ~ModbusTcpServer() override;

  uint16_t port() const { return listener_->port(); }

  void AddPollItems(std::vector<platform::PollItem>& items) override;
  void Handle(const platform::PollItem* items, size_t count, uint64_t now_ms) override;
  std::optional<uint64_t> NextDeadline() const override;

 private:
  struct Client {
    int fd;
    std::unique_ptr<ModbusTcpSession> session;
    std::vector<uint8_t> output;
    bool closing = false;
  };
  ModbusTcpServer(std::unique_ptr<platform::TcpListener> listener, ModuleModel& model,
                  ReplyFaults& faults, RequestLog log);
  void ServeClient(Client& client, const platform::PollItem& item, uint64_t now_ms);
  void Flush(Client& client);

  std::unique_ptr<platform::TcpListener> listener_;
  ModuleModel& model_;
  ReplyFaults& faults_;
  RequestLog log_;
  std::vector<Client> clients_;
};

}  // namespace kxtsim
