#include "kxtdev/utilities.h"

#include <algorithm>
#include <chrono>

#include "console/field_types.h"
#include "console/fields.h"
#include "console/line_editor.h"
#include "console/screen.h"
#include "console/windows.h"
#include "kxtdev/baud_prediction.h"
#include "register_page/key_watch.h"

namespace kxtdev {
namespace {

using namespace console;

constexpr uint32_t kCtsRegister = 8187;
constexpr int kRefreshPeriodMs = 10;  // a live screen's shortest cycle

// The field check has no user value: the predictor's session, while it runs.
Session* predictor_session = nullptr;

const char* const kModuleChoices[] = {"KXT4", "KXT1", nullptr};

const LabelDef kPredictorLabels[] = {
    {11, 25, "Module type", kNormal},
    {12, 28, "SET BAUD", kNormal},
    {13, 20, "Actual baud rate", kNormal},
    {0, 0, nullptr, 0},
};

// Shows the prediction for the value just typed, then refuses it, so Enter
// keeps the cursor in the field for the next value.
int ShowPrediction(void* value, int, const FieldDef*) {
  uint16_t module = predictor_session != nullptr ? predictor_session->baud_module : 0;
  BaudPrediction prediction = PredictBaudRate(module, *static_cast<uint32_t*>(value));
  if (prediction.error) {
    PutText("ERROR", 13, 37, 5, ' ', kRed);
    PutText("", 14, 27, 15, ' ', kNormal);
    return 0;
  }
  PrintAt("%u", 13, 37, 5, ' ', kBright, prediction.actual);
  if (prediction.not_recommended)
    PutText("NOT RECOMMENDED", 14, 27, 15, ' ', kRed);
  else
    PutText("", 14, 27, 15, ' ', kNormal);
  return 0;
}

}  // namespace

void CtsMonitor(Session& session, int ports) {
  if (ports < 1 || ports > 4) ports = 4;
  Window* box = OpenBox(8, 38, 15, 55, "CTS MONITOR");
  PutText("Any key to exit", 14, 40, 0, ' ', kNormal);
  for (int port = 1; port <= ports; ++port)
    PrintAt("Port %d CTS", 9 + port, 39, 0, ' ', kNormal, port);

  using Clock = std::chrono::steady_clock;
  registerpage::ClearKeyClass();
  while (registerpage::KeyClass() == registerpage::kNoKeyWaiting) {
    Clock::time_point started = Clock::now();
    uint16_t cts = 0;
    bool read =
        session.link != nullptr && linklib::ReadRegisters(session.link, kCtsRegister, 1, &cts) != 0;
    for (int port = 1; port <= ports; ++port) {
      bool on = (cts >> (port - 1)) & 1;
      if (!read)
        PutText("ERR", 9 + port, 50, 3, ' ', kRed);
      else
        PutText(on ? "ON " : "OFF", 9 + port, 50, 3, ' ', on ? kBright : kNormal);
    }
    // The wait callback sees keys only while a reply is awaited; this look
    // between reads also sees them on a link that fails at once, and paces
    // a fast link to one cycle per period.
    auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
    int left = static_cast<int>(std::max<long long>(0, kRefreshPeriodMs - elapsed));
    registerpage::PutBackKey(ReadKeyWithin(left));
  }
  GetKey();
  CloseWindow(&box);
}

void BaudRatePredictor(Session& session) {
  Window* box = OpenBox(10, 18, 15, 45, "KXT BAUD RATE PREDICTOR");
  DrawLabels(kPredictorLabels);
  predictor_session = &session;
  const FieldDef fields[] = {
      {11, 37, 4, kFieldChoice, &session.baud_module, FieldExtra(kModuleChoices), kBright},
      {12, 37, 5, kFieldUnsigned32, &session.baud_requested, FieldExtra(ShowPrediction), kBright},
  };
  const uint32_t flags = kEditStartFromText | kEditReplaceOnFirstKey;
  const char exit_keys[] = {kKeyEnter, static_cast<char>(kKeyUp), kKeyEscape, '\0'};
  ShowFields(fields, 0, 1, flags);
  int start = 0;
  while (EditFields(fields, 0, 1, start, exit_keys, flags) == kKeyEnter) start = 1;
  predictor_session = nullptr;
  CloseWindow(&box);
}

}  // namespace kxtdev
