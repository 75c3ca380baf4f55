#include "kxtdev/download_fields.h"

#include <cstdint>

#include "console/field_types.h"
#include "console/line_editor.h"
#include "console/screen.h"
#include "kxtdev/link_session.h"

namespace kxtdev {
namespace {

using namespace console;

const char* const kAutoStartChoices[] = {"NO ", "YES", nullptr};

const LabelDef kDownloadLabels[] = {
    {11, 23, "Module Channel", kNormal},
    {12, 22, "Status register", kNormal},
    {13, 27, "Auto Start", kNormal},
    {0, 0, nullptr, 0},
};

// The field checks see only the value; the session and the last value each
// field accepted are kept here while the fields are edited (one thread).
Session* g_session = nullptr;
const FieldDef* g_status_field = nullptr;
uint32_t g_accepted_status = 2;

int CheckChannel(void* value, int, const FieldDef*) {
  auto* channel = static_cast<uint32_t*>(value);
  const int typed = static_cast<int32_t>(*channel);
  if (typed < 1 || typed > 4) {
    ReportErrorF(*g_session, "Invalid channel %d. Must be 1..4.", typed);
    // Leaving the field with an arrow keeps the stored value: put the last
    // good channel back so a refused one never reaches the module.
    *channel = g_session->last_download_channel;
    return 0;
  }
  if (*channel != g_session->last_download_channel) {
    g_session->download_status_register = 2 * *channel;
    g_accepted_status = g_session->download_status_register;
    g_session->last_download_channel = *channel;
    ShowField(g_status_field, 0);
  }
  return 1;
}

int CheckStatusRegister(void* value, int, const FieldDef*) {
  auto* status = static_cast<uint32_t*>(value);
  const int used = StatusRegisterValue(*status);
  if (used < 2 || used > 2047) {
    ReportError(*g_session, "Status window must be 2 through 2047");
    *status = g_accepted_status;
    return 0;
  }
  g_accepted_status = *status;
  return 1;
}

}  // namespace

int StatusRegisterValue(uint32_t stored) { return static_cast<int16_t>(stored & 0xFFFF); }

bool EditDownloadFields(Session& session) {
  const FieldDef fields[kDownloadFieldCount] = {
      {11, 38, 1, kFieldUnsigned32, &session.download_channel, CheckChannel, kBright},
      {12, 38, 4, kFieldUnsigned32, &session.download_status_register, CheckStatusRegister,
       kBright},
      {13, 38, 3, kFieldChoice, &session.download_auto_start, kAutoStartChoices, kBright},
  };
  g_session = &session;
  g_status_field = &fields[1];
  g_accepted_status = session.download_status_register;
  DrawLabels(kDownloadLabels);
  ShowFields(fields, 0, kDownloadFieldCount - 1, 0);
  const char exit_keys[] = {kKeyEnter, static_cast<char>(kKeyUp), static_cast<char>(kKeyDown),
                            kKeyEscape, '\0'};
  const int key = EditFields(fields, 0, kDownloadFieldCount - 1, 0, exit_keys,
                             kEditStartFromText | kEditReplaceOnFirstKey);
  g_session = nullptr;
  g_status_field = nullptr;
  return key != kKeyEscape;
}

}  // namespace kxtdev
