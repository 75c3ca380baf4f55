#include "kxtdev/source_commands.h"

namespace kxtdev {

void ReadSource(Session&) {}
void WriteSource(Session&) {}
void EditSource(Session&) {}
void PrintFile(Session&, const char*) {}
void EraseFile(Session&) {}

}  // namespace kxtdev
