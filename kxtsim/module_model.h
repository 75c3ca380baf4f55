// The simulated KXT4 module's registers: run control, the channel status
// registers, the download registers and program areas, the identification
// block, plain storage everywhere else, Sy/Max status words and the Modbus
// file-record banks. Registers are numbered from 1.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kxtsim {

inline constexpr int kChannelCount = 4;
inline constexpr uint32_t kRunControlRegister = 1;
inline constexpr uint32_t kLoadChannelSelectRegister = 2049;
inline constexpr uint32_t kProgramAreaFirst = 2050;
inline constexpr uint32_t kProgramAreaLast = 7049;
inline constexpr uint32_t kProgramAreaWords = 5000;
inline constexpr uint32_t kPortWordRegister = 8176;
inline constexpr uint32_t kModuleNameFirst = 8177;
inline constexpr uint32_t kModuleNameRegisters = 10;
inline constexpr uint32_t kCtsRegister = 8187;
inline constexpr uint32_t kAutoStartRegister = 8188;
inline constexpr uint32_t kStatusLocationFirst = 8189;
inline constexpr uint16_t kIdentificationMarker = 0x9990;
inline constexpr uint32_t kStatusWordOffset = 8192;
inline constexpr uint32_t kFileRecordsPerBank = 10000;

// Ways the module can be told to differ from a well-equipped KXT4.
struct ModuleOptions {
  std::string module_name = "KXT4 Simulated";
  bool no_identification = false;   // 8188 lacks the 0x9990 marker
  bool no_flexible_status = false;  // 8189..8192 always read 2 x c
  bool no_auto_start = false;       // the Auto Start mask stays 0
  int never_halting_channel = 0;    // 1..4: that channel keeps running
  int module_port = 1;              // reported in 8176
  int model_word = -1;              // 0..65535: 8188 reads this, as another device's model
};

// Result of a register access.
enum class Access { Ok, IllegalAddress, IllegalValue };

class ModuleModel {
 public:
  // `clock_ms` gives milliseconds since any fixed point; it drives the CTS
  // inputs and the line numbers of running channels.
  explicit ModuleModel(ModuleOptions options = {}, std::function<uint64_t()> clock_ms = {});

  // Holding registers 1..65535.
  Access ReadRegisters(uint32_t first, uint32_t count, uint16_t* words);
  Access WriteRegisters(uint32_t first, uint32_t count, const uint16_t* words);

  // Sy/Max status words of registers 1..8192.
  Access ReadStatusWords(uint32_t first, uint32_t count, uint16_t* words) const;
  Access WriteStatusWords(uint32_t first, uint32_t count, const uint16_t* words);

  // File records of reference type 6: one bank of 10000 records per file.
  Access ReadFileRecords(uint16_t file, uint32_t record, uint32_t count, uint16_t* words) const;
  Access WriteFileRecords(uint16_t file, uint32_t record, uint32_t count, const uint16_t* words);

  bool ChannelRuns(int channel) const { return running_[channel - 1]; }
  const ModuleOptions& options() const { return options_; }

 private:
  uint16_t ReadOne(uint32_t reg);
  void WriteOne(uint32_t reg, uint16_t value);
  void WriteRunControl(uint16_t value);
  void WriteProgramArea(uint32_t reg, uint16_t value);
  void Halt(int channel);
  int ChannelOfStatusRegister(uint32_t reg) const;  // 0: none
  uint16_t LineNumber(int channel) const;
  uint64_t Now() const;

  ModuleOptions options_;
  std::function<uint64_t()> clock_ms_;
  std::vector<uint16_t> storage_;  // index = register number
  std::vector<uint16_t> status_words_;
  std::array<std::vector<uint16_t>, kChannelCount> programs_;
  std::array<bool, kChannelCount> running_{};
  std::array<uint64_t, kChannelCount> started_at_{};
  std::array<uint16_t, kChannelCount> status_location_{};
  std::array<uint16_t, kChannelCount> halted_line_{};
  int selected_channel_ = 1;  // 0: an invalid selection, the program area is closed
  uint16_t auto_start_mask_ = 0;
  std::map<uint16_t, std::vector<uint16_t>> file_banks_;
};

}  // namespace kxtsim
