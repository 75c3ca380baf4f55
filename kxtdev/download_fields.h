// The download screen's three fields (channel, status register, Auto Start)
// on the session's values, with the checks that keep them valid.
#pragma once

#include "console/fields.h"
#include "kxtdev/session.h"

namespace kxtdev {

constexpr int kDownloadFieldCount = 3;

// Writes the labels and edits the fields from the channel field. Returns
// false when the user left with Escape. The values stay in the session
// either way; a value the checks refused is never kept.
bool EditDownloadFields(Session& session);

// The status register as the download uses it: the field's low 16 bits.
int StatusRegisterValue(uint32_t stored);

}  // namespace kxtdev
