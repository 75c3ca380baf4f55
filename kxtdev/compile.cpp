#include "kxtdev/compile.h"

namespace kxtdev {

void CompileWork(Session&) {}
void ViewErrors(Session&) {}

}  // namespace kxtdev
