// kxtsim: a simulated KXT4 module on Modbus TCP and on a serial line.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "kxtsim/modbus_tcp_server.h"
#include "kxtsim/options.h"
#include "kxtsim/serial_line.h"
#include "kxtsim/serial_slaves.h"
#include "kxtsim/wait_loop.h"
#include "platform/descriptor_poll.h"

int main(int argc, char** argv) {
  using namespace kxtsim;
  std::optional<SimOptions> options = ParseOptions(argc, argv, stderr);
  if (!options) return 1;
  if (options->request == SimRequest::Help) {
    PrintUsage(stdout);
    return 0;
  }
  if (options->request == SimRequest::Version) {
    PrintBanner(stdout);
    return 0;
  }

  int stop_fd = platform::InstallStopSignalDescriptor();
  if (stop_fd < 0) {
    std::fputs("kxtsim: cannot install signal handling\n", stderr);
    return 1;
  }
  ModuleModel model(options->module);
  ReplyFaults faults(options->faults);
  RequestLog log;
  if (options->verbose) {
    log = [](const std::string& line) {
      std::printf("kxtsim: %s\n", line.c_str());
      std::fflush(stdout);
    };
  }

  std::vector<EventSource*> sources;
  std::unique_ptr<ModbusTcpServer> tcp;
  if (options->tcp_port) {
    std::string error;
    tcp = ModbusTcpServer::Start(*options->tcp_port, model, faults, log, &error);
    if (!tcp) {
      std::fprintf(stderr, "kxtsim: cannot listen on tcp port %u: %s\n", *options->tcp_port,
                   error.c_str());
      return 1;
    }
    sources.push_back(tcp.get());
    std::printf("kxtsim: listening on tcp port %u\n", tcp->port());
  }
  std::unique_ptr<SerialSlave> slave;
  std::unique_ptr<SerialLine> line;
  if (options->serial) {
    const SerialOptions& serial = *options->serial;
    std::string error;
    std::unique_ptr<platform::SerialEndpoint> endpoint;
    if (serial.device.empty()) {
      endpoint = platform::SerialEndpoint::CreatePseudoTerminal(&error);
    } else {
      platform::LineSettings settings{serial.baud, serial.parity, serial.data_bits,
                                      serial.stop_bits};
      endpoint = platform::SerialEndpoint::OpenDevice(serial.device, settings, &error);
    }
    if (!endpoint) {
      std::fprintf(stderr, "kxtsim: cannot open the serial line: %s\n", error.c_str());
      return 1;
    }
    std::string path = endpoint->path();
    uint64_t character_us = CharacterMicroseconds(serial.baud, serial.BitsPerCharacter());
    slave = MakeSerialSlave(serial, model, faults, log);
    line = std::make_unique<SerialLine>(std::move(endpoint), *slave, character_us,
                                        FrameGapMilliseconds(serial, character_us));
    sources.push_back(line.get());
    std::printf("kxtsim: serial device %s\n", path.c_str());
  }
  std::printf("kxtsim: ready\n");
  std::fflush(stdout);
  int status = RunWaitLoop(sources, stop_fd);
  std::printf("kxtsim: stopped\n");
  std::fflush(stdout);
  return status;
}
