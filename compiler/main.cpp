// COMPILE: a stand-in for the KXT compiler, so that kxtdev's compile, error
// review and download can be tried without the real one. It compiles a small
// language of its own (see kUsage) into a compiled program file: 16-bit
// words, low byte first, no header.
//
//   COMPILE SOURCE.KXT -oNAME.KXB >LISTING
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kBanner[] = "Veltrane KXT Compiler 0.9-demo (stand-in)";

const char kUsage[] =
    "Usage: COMPILE SOURCE.KXT [-oNAME.KXB]\n"
    "\n"
    "Compiles a KXT demo source into a compiled program file (default: the\n"
    "source's name with .KXB) and writes the listing to standard output.\n"
    "\n"
    "The demo language has one statement a line; \";\" starts a comment and\n"
    "blank lines are ignored. Names may be typed in either case.\n"
    "  NOP            no operation                  0x0000\n"
    "  LOAD n         load the constant n           0x1000 + n\n"
    "  READ r         load register r               0x2000 + r\n"
    "  STORE r        store into register r         0x3000 + r\n"
    "  ADD n          add the constant n            0x4000 + n\n"
    "  SUB n          subtract the constant n       0x5000 + n\n"
    "  JUMP w         continue at program word w    0x6000 + w\n"
    "  JUMPZ w        jump when the value is zero   0x7000 + w\n"
    "  WAIT n         pause n milliseconds          0x8000 + n\n"
    "  HALT           end the program               0xF000\n"
    "  DATA v         the word v itself (0..65535)\n"
    "Operands are decimal or 0x hexadecimal, 0..4095 for instructions.\n"
    "Refused statements are reported as \"file:line: error ...\"; a program\n"
    "that does not end with HALT or JUMP, and a jump past the end, draw\n"
    "\"file:line: warning ...\". With an error no program file is written.\n";

constexpr unsigned kOperandLimit = 4095;
// Four channels: 4999 words in the first and 5000 in each further one.
constexpr size_t kProgramWordLimit = 19999;

struct Instruction {
  const char* name;
  uint16_t code;
  bool has_operand;
};

const Instruction kInstructions[] = {
    {"NOP", 0x0000, false},  {"LOAD", 0x1000, true},  {"READ", 0x2000, true},
    {"STORE", 0x3000, true}, {"ADD", 0x4000, true},   {"SUB", 0x5000, true},
    {"JUMP", 0x6000, true},  {"JUMPZ", 0x7000, true}, {"WAIT", 0x8000, true},
    {"HALT", 0xF000, false},
};

struct Jump {
  int line;
  unsigned target;
};

class Compilation {
 public:
  explicit Compilation(const char* source_name) : source_name_(source_name) {}

  void Line(int number, std::string text) {
    text = text.substr(0, text.find(';'));
    std::vector<std::string> words = Split(text);
    if (words.empty()) return;
    std::string name = words[0];
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name == "DATA") {
      unsigned value = 0;
      if (words.size() != 2 || !Number(words[1], 0xFFFF, value)) {
        Error(number, "DATA needs one value 0..65535");
        return;
      }
      Emit(number, static_cast<uint16_t>(value), name);
      return;
    }
    for (const Instruction& instruction : kInstructions) {
      if (name != instruction.name) continue;
      unsigned operand = 0;
      if (!instruction.has_operand) {
        if (words.size() != 1) Error(number, "%s takes no operand", instruction.name);
      } else if (words.size() != 2 || !Number(words[1], kOperandLimit, operand)) {
        Error(number, "%s needs one operand 0..4095", instruction.name);
        return;
      }
      if (name == "JUMP" || name == "JUMPZ") jumps_.push_back({number, operand});
      Emit(number, static_cast<uint16_t>(instruction.code + operand), name);
      return;
    }
    Error(number, "unknown statement \"%s\"", words[0].c_str());
  }

  void Finish(int last_line) {
    for (const Jump& jump : jumps_) {
      if (jump.target >= words_.size()) Warning(jump.line, "jump past the end of the program");
    }
    if (!words_.empty() && last_statement_ != "HALT" && last_statement_ != "JUMP")
      Warning(last_line, "program does not end with HALT or JUMP");
    if (words_.empty()) Warning(last_line, "empty program");
  }

  int errors() const { return errors_; }
  int warnings() const { return warnings_; }
  const std::vector<uint16_t>& words() const { return words_; }

 private:
  static std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> words;
    size_t position = 0;
    while (position < text.size()) {
      while (position < text.size() && std::isspace(static_cast<unsigned char>(text[position])))
        ++position;
      size_t end = position;
      while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
      if (end > position) words.push_back(text.substr(position, end - position));
      position = end;
    }
    return words;
  }

  static bool Number(const std::string& text, unsigned limit, unsigned& value) {
    char* end = nullptr;
    errno = 0;
    unsigned long parsed = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0 || parsed > limit)
      return false;
    value = static_cast<unsigned>(parsed);
    return true;
  }

  void Emit(int number, uint16_t word, const std::string& name) {
    if (words_.size() == kProgramWordLimit) {
      Error(number, "program longer than four channels (19999 words)");
      return;
    }
    words_.push_back(word);
    last_statement_ = name;
  }

  void Error(int number, const char* format, ...) __attribute__((format(printf, 3, 4))) {
    va_list arguments;
    va_start(arguments, format);
    Report(number, "error", format, arguments);
    va_end(arguments);
    ++errors_;
  }

  void Warning(int number, const char* format, ...) __attribute__((format(printf, 3, 4))) {
    va_list arguments;
    va_start(arguments, format);
    Report(number, "warning", format, arguments);
    va_end(arguments);
    ++warnings_;
  }

  void Report(int number, const char* kind, const char* format, va_list arguments) {
    std::printf("%s:%d: %s ", source_name_, number, kind);
    std::vprintf(format, arguments);
    std::printf("\n");
  }

  const char* source_name_;
  std::vector<uint16_t> words_;
  std::vector<Jump> jumps_;
  std::string last_statement_;
  int errors_ = 0;
  int warnings_ = 0;
};

bool WriteProgram(const std::string& name, const std::vector<uint16_t>& words) {
  std::FILE* file = std::fopen(name.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = true;
  for (uint16_t word : words) {
    const unsigned char bytes[2] = {static_cast<unsigned char>(word & 0xFF),
                                    static_cast<unsigned char>(word >> 8)};
    written = written && std::fwrite(bytes, 1, 2, file) == 2;
  }
  return std::fclose(file) == 0 && written;
}

std::string DefaultOutput(const std::string& source) {
  const size_t slash = source.rfind('/');
  const size_t dot = source.rfind('.');
  const std::string base = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                               ? source.substr(0, dot)
                               : source;
  return base + ".KXB";
}

}  // namespace

int main(int argc, char** argv) {
  const char* source_name = nullptr;
  std::string output_name;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-?") == 0) {
      std::printf("%s\n\n%s", kBanner, kUsage);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s\n", kBanner);
      return 0;
    }
    if (std::strncmp(argv[i], "-o", 2) == 0 && argv[i][2] != '\0') {
      output_name = argv[i] + 2;
    } else if (source_name == nullptr && argv[i][0] != '-') {
      source_name = argv[i];
    } else {
      std::printf("%s\nUnknown argument \"%s\".\n\n%s", kBanner, argv[i], kUsage);
      return 2;
    }
  }
  if (source_name == nullptr) {
    std::printf("%s\n\n%s", kBanner, kUsage);
    return 2;
  }
  if (output_name.empty()) output_name = DefaultOutput(source_name);

  std::printf("%s\n", kBanner);
  std::FILE* source = std::fopen(source_name, "r");
  if (source == nullptr) {
    std::printf("%s:0: error cannot open the source file\n", source_name);
    std::printf("No object generated.\n");
    return 1;
  }
  Compilation compilation(source_name);
  std::string line;
  int number = 0;
  int character;
  bool more = true;
  while (more) {
    character = std::fgetc(source);
    if (character == EOF) {
      more = false;
      if (line.empty()) break;
    }
    if (character == '\n' || character == EOF) {
      compilation.Line(++number, line);
      line.clear();
    } else if (character != '\r') {
      line += static_cast<char>(character);
    }
  }
  std::fclose(source);
  compilation.Finish(number);

  std::printf("%zu words, %d errors, %d warnings.\n", compilation.words().size(),
              compilation.errors(), compilation.warnings());
  std::remove(output_name.c_str());
  if (compilation.errors() > 0) {
    std::printf("No object generated.\n");
    return 1;
  }
  if (!WriteProgram(output_name, compilation.words())) {
    std::printf("%s:0: error cannot write \"%s\"\n", source_name, output_name.c_str());
    std::printf("No object generated.\n");
    return 1;
  }
  std::printf("Successful compile.\n");
  return 0;
}
