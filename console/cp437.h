// The screen image keeps code page 437 bytes; a UTF-8 terminal shows them
// through this table.
#pragma once

namespace console {

// The UTF-8 form of a code page 437 byte (1 to 3 bytes, null-terminated).
const char* Cp437ToUtf8(unsigned char character);

}  // namespace console
