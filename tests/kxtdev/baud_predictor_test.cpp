// The baud-rate predictor: the arithmetic, and its window on the in-memory
// console keeping the SET BAUD value for the next run.
#include <gtest/gtest.h>

#include "kxtdev/baud_prediction.h"
#include "kxtdev/session.h"
#include "kxtdev/utilities.h"
#include "register_page/key_watch.h"
#include "tests/console/screen_fixture.h"

namespace kxtdev {
namespace {

using namespace console;

struct PredictionCase {
  uint16_t module;
  uint32_t requested;
  bool error;
  uint32_t actual;
  bool not_recommended;
};

TEST(BaudPrediction, ClockAndDivisorWidthGiveTheActualRate) {
  const PredictionCase cases[] = {
      {kBaudModuleKxt4, 9600, false, 9600, false},   {kBaudModuleKxt4, 38400, false, 38400, true},
      {kBaudModuleKxt4, 1, false, 2, false},          // divisor 115200 kept to 49664
      {kBaudModuleKxt4, 19200, false, 19200, false},  // the highest without a warning
      {kBaudModuleKxt4, 200000, false, 0, false},     // above the clock: divisor 0
      {kBaudModuleKxt1, 9600, false, 9600, false},   {kBaudModuleKxt1, 19200, false, 28800, true},
      {kBaudModuleKxt1, 50, false, 450, false},  // divisor 576 kept to 64
      {kBaudModuleKxt1, 30000, false, 0, false},     {kBaudModuleKxt4, 0, true, 0, false},
      {kBaudModuleKxt1, 0, true, 0, false},
  };
  for (const PredictionCase& c : cases) {
    BaudPrediction prediction = PredictBaudRate(c.module, c.requested);
    EXPECT_EQ(prediction.error, c.error) << c.module << " " << c.requested;
    EXPECT_EQ(prediction.actual, c.actual) << c.module << " " << c.requested;
    EXPECT_EQ(prediction.not_recommended, c.not_recommended) << c.module << " " << c.requested;
  }
}

class PredictorScreen : public ScreenFixture {};

TEST_F(PredictorScreen, EnterStaysInSetBaudAndTheValueIsKept) {
  Session session;
  // Enter keeps KXT4; each value typed in SET BAUD is predicted on Enter.
  terminal.TypeKeys({kKeyEnter, '3', '8', '4', '0', '0', kKeyEnter});
  terminal.TypeKeys({'0', kKeyEnter});
  terminal.TypeKeys({kKeyEscape});
  BaudRatePredictor(session);
  EXPECT_EQ(session.baud_requested, 0u);
  EXPECT_TRUE(terminal.ScriptDone());

  // The last shown state before Escape: ERROR in red, the warning blanked.
  bool saw_warning = false;
  bool saw_error = false;
  for (const MemoryConsole::Write& write : terminal.Writes()) {
    if (write.row == 13 && write.column == 26 && write.characters == "NOT RECOMMENDED") {
      saw_warning = true;
      EXPECT_EQ(write.attribute, 0x1C);
    }
    if (write.row == 12 && write.column == 36 && write.characters == "ERROR") saw_error = true;
  }
  EXPECT_TRUE(saw_warning);
  EXPECT_TRUE(saw_error);

  // The next run starts from the kept value; KXT1 with 19200 warns.
  session.baud_requested = 19200;
  terminal.ForgetWrites();
  terminal.TypeKeys({kKeyRight, kKeyEnter, kKeyEnter, kKeyEscape});
  BaudRatePredictor(session);
  EXPECT_EQ(session.baud_module, kBaudModuleKxt1);
  EXPECT_EQ(session.baud_requested, 19200u);
  bool saw_rate = false;
  for (const MemoryConsole::Write& write : terminal.Writes()) {
    if (write.row == 12 && write.column == 36 && write.characters == "28800") {
      saw_rate = true;
      EXPECT_EQ(write.attribute, 0x1E);  // bright
    }
  }
  EXPECT_TRUE(saw_rate);
  EXPECT_EQ(ImageText(13, 37, 41), "     ");  // the window is gone
}

}  // namespace
}  // namespace kxtdev
