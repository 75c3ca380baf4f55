#include "kxtsim/modbus_tcp_server.h"

#include <algorithm>

namespace kxtsim {

std::unique_ptr<ModbusTcpServer> ModbusTcpServer::Start(uint16_t port, ModuleModel& model,
                                                        ReplyFaults& faults, RequestLog log,
                                                        std::string* error) {
  auto listener = platform::TcpListener::Listen(port, error);
  if (!listener) return nullptr;
  return std::unique_ptr<ModbusTcpServer>(
      new ModbusTcpServer(std::move(listener), model, faults, std::move(log)));
}

ModbusTcpServer::ModbusTcpServer(std::unique_ptr<platform::TcpListener> listener,
                                 ModuleModel& model, ReplyFaults& faults, RequestLog log)
    : listener_(std::move(listener)), model_(model), faults_(faults), log_(std::move(log)) {}

ModbusTcpServer::~ModbusTcpServer() {
  for (Client& client : clients_) platform::CloseSocket(client.fd);
}

void ModbusTcpServer::AddPollItems(std::vector<platform::PollItem>& items) {
  items.push_back({listener_->fd(), true, false});
  for (const Client& client : clients_) {
    items.push_back({client.fd, true, !client.output.empty()});
  }
}

void ModbusTcpServer::Handle(const platform::PollItem* items, size_t count, uint64_t now_ms) {
  // Items: the listener, then the clients as they were when the wait began.
  for (size_t i = 1; i < count && i - 1 < clients_.size(); ++i) {
    ServeClient(clients_[i - 1], items[i], now_ms);
  }
  clients_.erase(std::remove_if(clients_.begin(), clients_.end(),
                                [](const Client& client) {
                                  if (client.closing) platform::CloseSocket(client.fd);
                                  return client.closing;
                                }),
                 clients_.end());
  if (count > 0 && items[0].readable) {
    for (int fd = listener_->Accept(); fd >= 0; fd = listener_->Accept()) {
      clients_.push_back({fd, std::make_unique<ModbusTcpSession>(model_, faults_, log_), {}});
    }
  }
}

void ModbusTcpServer::ServeClient(Client& client, const platform::PollItem& item, uint64_t now_ms) {
  if (item.readable || item.hung_up) {
    uint8_t buffer[4096];
    for (;;) {
      long got = platform::ReceiveFromSocket(client.fd, buffer, sizeof buffer);
      if (got == platform::kTransferWouldBlock) break;
      if (got <= 0) {
        client.closing = true;
        return;
      }
      if (!client.session->Receive(buffer, static_cast<size_t>(got), now_ms)) {
        client.closing = true;
        return;
      }
    }
  }
  client.session->TakeDueReplies(now_ms, client.output);
  Flush(client);
}

void ModbusTcpServer::Flush(Client& client) {
  while (!client.output.empty()) {
    long sent = platform::SendToSocket(client.fd, client.output.data(), client.output.size());
    if (sent == platform::kTransferWouldBlock) return;
    if (sent <= 0) {
      client.closing = true;
      return;
    }
    client.output.erase(client.output.begin(), client.output.begin() + sent);
  }
}

std::optional<uint64_t> ModbusTcpServer::NextDeadline() const {
  std::optional<uint64_t> earliest;
  for (const Client& client : clients_) {
    auto due = client.session->NextDue();
    if (due && (!earliest || *due < *earliest)) earliest = due;
  }
  return earliest;
}

}  // namespace kxtsim
