// A Modbus TCP server on loopback for tests, with selectable behaviours: it
// answers each request with the bytes a test queued (in pieces, then closing
// or resetting the connection if asked), echoes every request back whole, or
// stays silent. Every request it read is kept for the test to look at.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/descriptor_poll.h"
#include "platform/sim_tcp_listener.h"
#include "platform/tcp_socket.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;
using platform::TcpConnection;

// What the peer does with the next request.
struct Answer {
  enum class Then { kStay, kClose, kReset };
  std::vector<Bytes> pieces;  // sent one after the other
  Then then = Then::kStay;
};

// Waits, between the pieces of one reply, for the client to poll once more.
class PollGate {
 public:
  void Polled() {
    std::lock_guard<std::mutex> guard(lock_);
    ++polls_;
    changed_.notify_all();
  }
  uint64_t polls() {
    std::lock_guard<std::mutex> guard(lock_);
    return polls_;
  }
  void WaitBeyond(uint64_t polls) {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait_for(guard, std::chrono::seconds(5), [&] { return polls_ > polls; });
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  uint64_t polls_ = 0;
};

// The peer: accepts connections one at a time and answers each request with
// the next queued answer (none queued: it stays silent).
class ModbusTcpPeer {
 public:
  explicit ModbusTcpPeer(uint16_t port = 0) {
    listener_ = platform::TcpListener::Listen(port, nullptr);
    thread_ = std::thread([this] { Run(); });
  }
  ~ModbusTcpPeer() {
    stop_ = true;
    thread_.join();
  }
  bool listening() const { return listener_ != nullptr; }
  uint16_t port() const { return listener_ ? listener_->port() : 0; }

  void Queue(Answer answer) {
    std::lock_guard<std::mutex> guard(lock_);
    answers_.push_back(std::move(answer));
  }
  void QueueReply(Bytes reply) { Queue({{std::move(reply)}, Answer::Then::kStay}); }
  // From now on every request without a queued answer is sent back whole,
  // as a server that echoes what it gets (and stores nothing).
  void EchoRequests(bool echo) { echo_ = echo; }
  std::vector<Bytes> Requests() {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
  }
  int connections() const { return connections_.load(); }
  void UseGate(PollGate* gate) { gate_ = gate; }

 private:
  void Run() {
    while (listener_ && !stop_) {
      if (!platform::WaitReadable(listener_->fd(), 20)) continue;
      int fd = listener_->Accept();
      if (fd < 0) continue;
      TcpConnection connection(fd);
      ++connections_;
      Serve(connection);
    }
  }

  void Serve(TcpConnection& connection) {
    Bytes request;
    while (ReadRequest(connection, &request)) {
      Answer answer;
      {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.push_back(request);
        if (answers_.empty()) {
          if (!echo_) continue;
          answer.pieces.push_back(request);
        } else {
          answer = std::move(answers_.front());
          answers_.pop_front();
        }
      }
      PollGate* gate = gate_.load();
      for (size_t i = 0; i < answer.pieces.size(); ++i) {
        uint64_t polls = gate ? gate->polls() : 0;
        connection.Send(answer.pieces[i].data(), answer.pieces[i].size(), 5000);
        if (gate && i + 1 < answer.pieces.size()) gate->WaitBeyond(polls);
      }
      if (answer.then == Answer::Then::kClose) return connection.Close();
      if (answer.then == Answer::Then::kReset) return connection.Abort();
    }
  }

  bool ReadExactly(TcpConnection& connection, uint8_t* into, size_t size) {
    size_t have = 0;
    while (have < size) {
      if (stop_) return false;
      size_t got = 0;
      switch (connection.Receive(into + have, size - have, &got)) {
        case TcpConnection::ReceiveStatus::kData:
          have += got;
          break;
        case TcpConnection::ReceiveStatus::kNothing:
          connection.WaitReadable(20);
          break;
        default:
          return false;
      }
    }
    return true;
  }

  bool ReadRequest(TcpConnection& connection, Bytes* request) {
    request->assign(6, 0);
    if (!ReadExactly(connection, request->data(), 6)) return false;
    size_t length = size_t{(*request)[4]} * 256 + (*request)[5];
    request->resize(6 + length);
    return ReadExactly(connection, request->data() + 6, length);
  }

  std::unique_ptr<platform::TcpListener> listener_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> echo_{false};
  std::atomic<int> connections_{0};
  std::atomic<PollGate*> gate_{nullptr};
  std::mutex lock_;
  std::deque<Answer> answers_;
  std::vector<Bytes> requests_;
  std::thread thread_;
};

}  // namespace testsupport
