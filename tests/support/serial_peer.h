// A device at the far end of an in-process pseudo-terminal, for tests of
// serial links against peers that misbehave. A thread reads what the link
// sends and hands each chunk (or, after a quiet spell, an empty chunk) to
// the behaviour, which returns the bytes to send back. Behaviours for an
// echoing peer, a silent one and one that sends the same line over and over
// are provided; a test may give any other.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/pty_pair.h"

namespace testsupport {

class SerialPeer {
 public:
  // `received` is empty when nothing came for a quiet spell.
  using Behaviour = std::function<std::string(const std::string& received)>;

  static Behaviour Echo() {
    return [](const std::string& received) { return received; };
  }
  static Behaviour Silent() {
    return [](const std::string&) { return std::string(); };
  }
  // Sends `line` after every chunk and every quiet spell: a peer that keeps
  // talking whatever it is asked.
  static Behaviour Repeating(std::string line) {
    return [line](const std::string&) { return line; };
  }

  explicit SerialPeer(Behaviour behaviour) : behaviour_(std::move(behaviour)) {
    if (pty_.valid()) thread_ = std::thread([this] { Run(); });
  }
  ~SerialPeer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  SerialPeer(const SerialPeer&) = delete;
  SerialPeer& operator=(const SerialPeer&) = delete;

  bool valid() const { return pty_.valid(); }
  // The device path the link opens.
  const std::string& path() const { return pty_.slave_path(); }
  // Everything the link has sent so far.
  std::string Received() {
    std::lock_guard<std::mutex> guard(lock_);
    return received_;
  }

 private:
  void Run() {
    char buffer[512];
    while (!stop_) {
      size_t got = pty_.ReadMaster(buffer, sizeof buffer, std::chrono::milliseconds(20));
      std::string chunk(buffer, got);
      {
        std::lock_guard<std::mutex> guard(lock_);
        received_ += chunk;
      }
      std::string answer = behaviour_(chunk);
      if (!answer.empty()) pty_.WriteMaster(answer.data(), answer.size());
    }
  }

  platform::PtyPair pty_;
  Behaviour behaviour_;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::string received_;
  std::thread thread_;
};

}  // namespace testsupport
