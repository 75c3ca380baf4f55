#include "kxtsim/module_model.h"

#include <chrono>

namespace kxtsim {
namespace {

constexpr uint32_t kHighestRegister = 65535;
constexpr uint32_t kHighestSymaxRegister = 8192;
constexpr uint16_t kRunningBit = 0x8000;
constexpr uint16_t kLowestStatusLocation = 2;
constexpr uint16_t kHighestStatusLocation = 2047;
// A running channel's line number advances once per this many milliseconds.
constexpr uint64_t kMillisecondsPerLine = 10;
// The CTS inputs change this often.
constexpr uint64_t kCtsPeriodMs = 250;

uint64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool InRange(uint32_t first, uint32_t count, uint32_t lowest, uint32_t highest) {
  return count > 0 && first >= lowest && first <= highest && count - 1 <= highest - first;
}

}  // namespace

ModuleModel::ModuleModel(ModuleOptions options, std::function<uint64_t()> clock_ms)
    : options_(std::move(options)),
      clock_ms_(clock_ms ? std::move(clock_ms) : SteadyMilliseconds),
      storage_(kHighestRegister + 1, 0),
      status_words_(kHighestSymaxRegister + 1, 0) {
  for (int c = 1; c <= kChannelCount; ++c) {
    programs_[c - 1].assign(kProgramAreaWords, 0);
    status_location_[c - 1] = static_cast<uint16_t>(2 * c);
  }
  // A channel that never halts runs from power-up.
  if (options_.never_halting_channel >= 1 && options_.never_halting_channel <= kChannelCount) {
    running_[options_.never_halting_channel - 1] = true;
    started_at_[options_.never_halting_channel - 1] = Now();
  }
  // The name is 20 characters, blank padded, packed high byte first.
  std::string name = options_.module_name;
  name.resize(2 * kModuleNameRegisters, ' ');
  for (uint32_t i = 0; i < kModuleNameRegisters; ++i) {
    storage_[kModuleNameFirst + i] = static_cast<uint16_t>(
        (static_cast<uint8_t>(name[2 * i]) << 8) | static_cast<uint8_t>(name[2 * i + 1]));
  }
}

uint64_t ModuleModel::Now() const { return clock_ms_(); }

Access ModuleModel::ReadRegisters(uint32_t first, uint32_t count, uint16_t* words) {
  if (!InRange(first, count, 1, kHighestRegister)) return Access::IllegalAddress;
  for (uint32_t i = 0; i < count; ++i) words[i] = ReadOne(first + i);
  return Access::Ok;
}

Access ModuleModel::WriteRegisters(uint32_t first, uint32_t count, const uint16_t* words) {
  if (!InRange(first, count, 1, kHighestRegister)) return Access::IllegalAddress;
  for (uint32_t i = 0; i < count; ++i) WriteOne(first + i, words[i]);
  return Access::Ok;
}

Access ModuleModel::ReadStatusWords(uint32_t first, uint32_t count, uint16_t* words) const {
  if (!InRange(first, count, 1, kHighestSymaxRegister)) return Access::IllegalAddress;
  for (uint32_t i = 0; i < count; ++i) words[i] = status_words_[first + i];
  return Access::Ok;
}

Access ModuleModel::WriteStatusWords(uint32_t first, uint32_t count, const uint16_t* words) {
  if (!InRange(first, count, 1, kHighestSymaxRegister)) return Access::IllegalAddress;
  for (uint32_t i = 0; i < count; ++i) status_words_[first + i] = words[i];
  return Access::Ok;
}

Access ModuleModel::ReadFileRecords(uint16_t file, uint32_t record, uint32_t count,
                                    uint16_t* words) const {
  if (!InRange(record, count, 0, kFileRecordsPerBank - 1)) return Access::IllegalAddress;
  auto bank = file_banks_.find(file);
  for (uint32_t i = 0; i < count; ++i) {
    words[i] = bank == file_banks_.end() ? 0 : bank->second[record + i];
  }
  return Access::Ok;
}

Access ModuleModel::WriteFileRecords(uint16_t file, uint32_t record, uint32_t count,
                                     const uint16_t* words) {
  if (!InRange(record, count, 0, kFileRecordsPerBank - 1)) return Access::IllegalAddress;
  std::vector<uint16_t>& bank = file_banks_[file];
  if (bank.empty()) bank.assign(kFileRecordsPerBank, 0);
  for (uint32_t i = 0; i < count; ++i) bank[record + i] = words[i];
  return Access::Ok;
}

int ModuleModel::ChannelOfStatusRegister(uint32_t reg) const {
  for (int c = 1; c <= kChannelCount; ++c) {
    if (status_location_[c - 1] == reg) return c;
  }
  return 0;
}

uint16_t ModuleModel::LineNumber(int channel) const {
  if (!running_[channel - 1]) return halted_line_[channel - 1];
  uint64_t elapsed = Now() - started_at_[channel - 1];
  return static_cast<uint16_t>(1 + (elapsed / kMillisecondsPerLine) % 1000);
}

uint16_t ModuleModel::ReadOne(uint32_t reg) {
  if (reg == kRunControlRegister) {
    uint16_t bits = 0;
    for (int c = 1; c <= kChannelCount; ++c) {
      if (running_[c - 1]) bits |= static_cast<uint16_t>(1u << (c - 1));
    }
    return bits;
  }
  if (reg >= kProgramAreaFirst && reg <= kProgramAreaLast) {
    if (selected_channel_ == 0) return 0;
    return programs_[selected_channel_ - 1][reg - kProgramAreaFirst];
  }
  if (reg == kLoadChannelSelectRegister) return static_cast<uint16_t>(selected_channel_);
  if (reg == kPortWordRegister) {
    return static_cast<uint16_t>(0x8000 | (options_.module_port & 0xFF));
  }
  if (reg == kCtsRegister) return static_cast<uint16_t>((Now() / kCtsPeriodMs) & 0x0F);
  if (reg == kAutoStartRegister) {
    if (options_.model_word >= 0) return static_cast<uint16_t>(options_.model_word);
    uint16_t marker = options_.no_identification ? 0 : kIdentificationMarker;
    return static_cast<uint16_t>(marker | auto_start_mask_);
  }
  if (reg >= kStatusLocationFirst && reg < kStatusLocationFirst + kChannelCount) {
    return status_location_[reg - kStatusLocationFirst];
  }
  if (int c = ChannelOfStatusRegister(reg); c != 0) {
    return static_cast<uint16_t>((storage_[reg] & ~kRunningBit) |
                                 (running_[c - 1] ? kRunningBit : 0));
  }
  if (int c = ChannelOfStatusRegister(reg - 1); c != 0) return LineNumber(c);
  return storage_[reg];
}

void ModuleModel::WriteOne(uint32_t reg, uint16_t value) {
  if (reg == kRunControlRegister) {
    WriteRunControl(value);
  } else if (reg >= kProgramAreaFirst && reg <= kProgramAreaLast) {
    WriteProgramArea(reg, value);
  } else if (reg == kLoadChannelSelectRegister) {
    // A number outside 1..4 selects no channel: the program area then takes
    // no writes, so a stray selection can never erase another channel.
    selected_channel_ = (value >= 1 && value <= kChannelCount) ? value : 0;
  } else if (reg == kPortWordRegister || reg == kCtsRegister ||
             (reg >= kModuleNameFirst && reg < kModuleNameFirst + kModuleNameRegisters)) {
    // Identification and inputs are read-only.
  } else if (reg == kAutoStartRegister) {
    if (!options_.no_auto_start) auto_start_mask_ = value & 0x0F;
  } else if (reg >= kStatusLocationFirst && reg < kStatusLocationFirst + kChannelCount) {
    if (!options_.no_flexible_status && value >= kLowestStatusLocation &&
        value <= kHighestStatusLocation) {
      status_location_[reg - kStatusLocationFirst] = value;
    }
  } else {
    storage_[reg] = value;
  }
}

void ModuleModel::WriteRunControl(uint16_t value) {
  for (int c = 1; c <= kChannelCount; ++c) {
    bool wanted = (value >> (c - 1)) & 1;
    if (wanted && !running_[c - 1] && programs_[c - 1][0] != 0) {
      running_[c - 1] = true;
      started_at_[c - 1] = Now();
    } else if (!wanted && running_[c - 1]) {
      Halt(c);
    }
  }
}

void ModuleModel::WriteProgramArea(uint32_t reg, uint16_t value) {
  if (selected_channel_ == 0) return;
  std::vector<uint16_t>& program = programs_[selected_channel_ - 1];
  if (reg == kProgramAreaFirst && value == 0) {
    Halt(selected_channel_);
    program.assign(kProgramAreaWords, 0);
    return;
  }
  program[reg - kProgramAreaFirst] = value;
}

void ModuleModel::Halt(int channel) {
  if (channel == options_.never_halting_channel || !running_[channel - 1]) return;
  halted_line_[channel - 1] = LineNumber(channel);
  running_[channel - 1] = false;
}

}  // namespace kxtsim
