#include "kxtdev/terminal_emulator.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <thread>

#include "console/screen.h"
#include "console/serial_ports.h"
#include "kxtdev/configuration_screens.h"
#include "kxtdev/hex_line.h"
#include "kxtdev/link_session.h"
#include "kxtdev/terminal_display.h"

namespace kxtdev {
namespace {

using namespace console;

constexpr int kCaptureNameLimit = 79;
constexpr int kHexLineLimit = 255;
constexpr int kReadChunk = 64;
constexpr uint32_t kReadAndWrite = 3;
constexpr uint32_t kShortestWait = 0;  // ComRead's 1 ms
// A typed key goes out at once; a line that takes nothing for a second
// (a peer that stopped reading) does not hold the keyboard.
constexpr uint32_t kKeyWriteTimeout = 100;  // units of 10 ms
constexpr int kPortGonePauseMs = 10;

const char kHelpLines[] =
    "Type contrl-End to exit terminal.  Type F7 to begin capture to a file.\n"
    "Type F9 to change terminal communication setup.\n"
    "To send hex sequence, type INSERT key, enter hex codes, type ENTER.\n";

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The emulator's own messages and prompts: shown, never captured. "\n" is a
// line break on the console.
void Say(const char* text) {
  std::string shown;
  for (; *text != '\0'; ++text) {
    if (*text == '\n') shown += '\r';
    shown += *text;
  }
  WritePlain(shown.data(), static_cast<int>(shown.size()));
}

__attribute__((format(printf, 1, 2))) void SayF(const char* format, ...) {
  char text[kPrintAtLimit + 1];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  Say(text);
}

// Keys go to the line as they are: the program's hot keys (F1's screen
// print) do not run inside the terminal.
int WaitForKey() { return ReadQueuedKey(-1); }
int KeyIfAny() { return ReadQueuedKey(0); }

// A line typed with echo. False when Escape abandoned it.
bool ReadPlainLine(char* line, int limit) {
  int length = 0;
  line[0] = '\0';
  for (;;) {
    int key = WaitForKey();
    if (key == kKeyEnter || key == kKeyCtrlEnter) {
      Say("\n");
      return true;
    }
    if (key == kKeyEscape) {
      Say("\n");
      return false;
    }
    if (key == kKeyBackspace) {
      if (length > 0) {
        line[--length] = '\0';
        WritePlain("\b \b", 3);
      }
    } else if (key >= 32 && key < 127 && length < limit) {
      char character = static_cast<char>(key);
      line[length++] = character;
      line[length] = '\0';
      WritePlain(&character, 1);
    }
  }
}

// The bytes a key sends, or none (an extended key without a use).
std::string KeyBytes(int key) {
  switch (key) {
    case kKeyUp:
      return "\x1b[A";
    case kKeyDown:
      return "\x1b[B";
    case kKeyRight:
      return "\x1b[C";
    case kKeyLeft:
      return "\x1b[D";
    case kKeyF1:
      return "\x1bOP";
    case kKeyF2:
      return "\x1bOQ";
    case kKeyF3:
      return "\x1bOR";
    case kKeyF4:
      return "\x1bOS";
    case kKeyDelete:
      return "\x7f";
    case kKeyBackspace:
      return "\x08";
    default:
      break;
  }
  if (key > 0 && key < 0x80) return std::string(1, static_cast<char>(key));
  return "";
}

bool LinkUsesSerialPort(const SetupRecord& setup) {
  return setup.connection_type >= kConnectionSymax &&
         setup.connection_type <= kConnectionModbusAscii;
}

// The terminal takes the link's own port: the link must make way.
bool SharesLinkPort(const SetupRecord& setup) {
  return LinkUsesSerialPort(setup) && setup.com_port == setup.terminal_port;
}

// The listed name of the terminal's port ("" when the index has none) and
// its device path.
bool TerminalPortName(const SetupRecord& setup, const char** shown, char (&path)[256]) {
  *shown = "";
  for (int i = 0; i <= setup.terminal_port; ++i)
    if (i >= kSerialPortSlots - 1 || SerialPortNames[i] == nullptr) return false;
  *shown = SerialPortNames[setup.terminal_port];
  return SerialPortPath(*shown, path, sizeof path);
}

class Terminal {
 public:
  explicit Terminal(Session& session) : session_(session) {}
  ~Terminal() {
    CloseCapture();
    ClosePort();
    SetJobControlKeys(true);
    SetPassThroughKeys(false);
  }

  linklib::LinkHandle* Run() {
    if (SharesLinkPort(session_.setup) && session_.link != nullptr) {
      linklib::CloseLink(session_.link);
      session_.link = nullptr;
      closed_link_ = true;
    }
    if (OpenPort()) {
      ClearConsole();
      if (!SharesLinkPort(session_.setup))
        SayF("NOTE: The terminal emulator is using %s\n", PortShown());
      Say(kHelpLines);
      // Ctrl+C, Ctrl+Z and every control key go to the port.
      SetJobControlKeys(false);
      SetPassThroughKeys(true);
      Loop();
      if (capture_ != nullptr) SayF("\nCapture file: \"%s\" closed.\n", capture_name_);
      CloseCapture();
      ClosePort();
      SetJobControlKeys(true);
      SetPassThroughKeys(false);
      HideCursor();
      RequestRepaint();
    }
    // A failed start hands the port back as well: the link it closed returns.
    if (closed_link_) ConnectLink(session_);
    return session_.link;
  }

 private:
  const char* PortShown() const { return port_shown_; }

  bool OpenPort() {
    char path[256];
    const char* shown = "";
    uint32_t status = linklib::kComNoSuchPort;
    if (TerminalPortName(session_.setup, &shown, path))
      status = linklib::ComOpen(path, kReadAndWrite, 0, &port_);
    std::snprintf(port_shown_, sizeof port_shown_, "%s", shown);
    if (status != linklib::kComSuccess) {
      port_ = nullptr;
      ReportErrorF(session_, "Can't open port: \"%s\".  Status = %ld.", shown,
                   static_cast<long>(status));
      return false;
    }
    const SetupRecord& setup = session_.setup;
    uint32_t data_bits = setup.terminal_data_bits == 0 ? 7 : 8;
    uint32_t stop_bits = setup.terminal_stop_bits == 1 ? 2 : 1;
    uint32_t parity = setup.terminal_parity <= 2 ? setup.terminal_parity : 0;
    linklib::ComSetMode(port_, BaudRateAt(setup.terminal_baud_rate), data_bits, stop_bits, parity,
                        0);
    session_.terminal_port = port_;
    port_working_ = true;
    return true;
  }

  void ClosePort() {
    if (port_ == nullptr) return;
    linklib::ComClose(port_);
    port_ = nullptr;
    session_.terminal_port = nullptr;
  }

  void CloseCapture() {
    if (capture_ == nullptr) return;
    std::fclose(capture_);
    capture_ = nullptr;
  }

  static void ClearConsole() {
    SetCursor(0, 0);
    ShowCursor();
    ClearConsoleFromCursor();
    SetCursor(0, 0);
  }

  // What the display has shown goes to the console and the capture file alike.
  void ShowReceived() {
    const std::string& shown = display_.Shown();
    if (shown.empty()) return;
    WritePlain(shown.data(), static_cast<int>(shown.size()));
    if (capture_ != nullptr) std::fwrite(shown.data(), 1, shown.size(), capture_);
    display_.TakeShown();
  }

  void Send(const std::string& bytes) {
    if (port_ == nullptr || bytes.empty()) return;  // no port after a failed reopen
    uint32_t moved = 0;
    linklib::ComWrite(port_, 0, 0, kKeyWriteTimeout, bytes.data(),
                      static_cast<uint32_t>(bytes.size()), &moved);
  }

  // Reads what the port has within the shortest wait. False when the port
  // failed (a line that hung up), so the caller paces itself.
  bool ReceiveFromPort() {
    unsigned char bytes[kReadChunk];
    uint32_t moved = 0;
    uint32_t status = linklib::ComRead(port_, 0, 0, kShortestWait, bytes,
                                       display_.WaitingAfterCr() ? 1 : sizeof bytes, &moved);
    std::int64_t now = NowMs();
    for (uint32_t i = 0; i < moved; ++i) display_.Receive(bytes[i], now);
    if (moved == 0) display_.Idle(now);
    ShowReceived();
    return status == linklib::kComSuccess || status == linklib::kComTimeout;
  }

  void Loop() {
    for (;;) {
      // A CR waits for its next byte before anything else is shown.
      if (port_ != nullptr && port_working_ && display_.WaitingAfterCr()) {
        port_working_ = ReceiveFromPort();
        continue;
      }
      int key;
      if (port_ == nullptr) {
        key = WaitForKey();  // no port after a failed reopen: only keys matter
      } else {
        key = KeyIfAny();
        if (key == 0 && !port_working_) {
          // A failing port (a line that hung up) answers at once: no spinning.
          std::this_thread::sleep_for(std::chrono::milliseconds(kPortGonePauseMs));
        }
      }
      // The Linux console's default keymap sends End for Ctrl+End, and End has
      // no use of its own here: both leave.
      if (key == kKeyCtrlEnd || key == kKeyEnd) return;
      if (key != 0) {
        HandleKey(key);
        continue;
      }
      port_working_ = ReceiveFromPort();
    }
  }

  void HandleKey(int key) {
    switch (key) {
      case kKeyF7:
        BeginCapture();
        return;
      case kKeyF8:
        EndCapture();
        return;
      case kKeyF9:
        ChangeSetup();
        return;
      case kKeyInsertToggle:
        SendHexLine();
        return;
      default:
        Send(KeyBytes(key));
        return;
    }
  }

  void BeginCapture() {
    if (capture_ != nullptr) {
      SayF("\nCapture file: \"%s\" already open. Type F8 to close.\n", capture_name_);
    } else {
      if (capture_name_[0] != '\0')
        SayF("\nCapture to file (CR=\"%s\")? ", capture_name_);
      else
        Say("\nCapture to file? ");
      char line[kCaptureNameLimit + 1];
      if (ReadPlainLine(line, kCaptureNameLimit)) {
        if (line[0] != '\0') std::snprintf(capture_name_, sizeof capture_name_, "%s", line);
        capture_ = std::fopen(capture_name_, "wb");
        if (capture_ == nullptr)
          SayF("Unable to open file: \"%s\" for write.\n", capture_name_);
        else
          SayF("Copying output to: \"%s\". Type F8 to end capture.\n", capture_name_);
      }
    }
    display_.set_column(1);
  }

  void EndCapture() {
    if (capture_ == nullptr) {
      Say("\nCapture file not open. Type F7 to begin capture.\n");
    } else {
      SayF("\nCapture file: \"%s\" closed.\n", capture_name_);
      CloseCapture();
    }
    display_.set_column(1);
  }

  void ChangeSetup() {
    ClosePort();
    RequestRepaint();  // the setup form is drawn over the toolkit's screen
    ConfigureTerminal(session_);
    // Settings that now put the terminal on the open link's port take it over.
    if (SharesLinkPort(session_.setup) && session_.link != nullptr) {
      linklib::CloseLink(session_.link);
      session_.link = nullptr;
      closed_link_ = true;
    }
    OpenPort();
    if (RepaintPending()) RepaintScreen();  // not later, over the terminal's text
    ClearConsole();
    Say(kHelpLines);
  }

  void SendHexLine() {
    Say("Enter hex codes to send: ");
    char line[kHexLineLimit + 1];
    if (ReadPlainLine(line, kHexLineLimit)) {
      HexLine hex = ParseHexLine(line);
      Send(hex.bytes);
      if (hex.invalid_character >= 0)
        SayF("Invalid character in hex sequence: %02X\n", hex.invalid_character);
    }
    display_.set_column(1);  // the typed line ended with a line break
  }

  Session& session_;
  linklib::ComPort* port_ = nullptr;
  char port_shown_[256] = "";
  TerminalDisplay display_;
  std::FILE* capture_ = nullptr;
  char capture_name_[kCaptureNameLimit + 1] = "";
  bool closed_link_ = false;
  bool port_working_ = true;
};

}  // namespace

linklib::LinkHandle* TerminalEmulator(Session& session, int) {
  Terminal terminal(session);
  return terminal.Run();
}

}  // namespace kxtdev
