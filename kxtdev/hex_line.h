// The terminal emulator's hex line: groups of hex digits separated by blanks,
// each group sent as one byte (only its last two digits count; an empty
// group between two blanks is a 0 byte). A character that is neither stops
// the line: the groups before it are sent, the rest is dropped.
#pragma once

#include <string>

namespace kxtdev {

struct HexLine {
  std::string bytes;           // to send, in order
  int invalid_character = -1;  // the code of the character that stopped the line, or -1
};

HexLine ParseHexLine(const char* line);

}  // namespace kxtdev
