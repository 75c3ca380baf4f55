#include "console/fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/choice_field.h"
#include "console/field_types.h"
#include "console/line_editor.h"
#include "console/number_list.h"
#include "console/screen.h"
#include "editor_fixture.h"

namespace console {
namespace {

constexpr char kFormExits[] = "\r\x8a\x8b";  // Enter, Down, Up
constexpr char kEnterEscape[] = "\r\x1b";

int checks_called = 0;
// Accepts channel numbers 1 to 4.
int CheckChannel(void* value, int, const FieldDef*) {
  ++checks_called;
  const uint16_t channel = *static_cast<uint16_t*>(value);
  return channel >= 1 && channel <= 4;
}

class Fields : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    checks_called = 0;
  }
};

TEST_F(Fields, EnterOnBadValueAsksAgain) {
  uint32_t price = 1250;
  const FieldDef field{5, 10, 8, kFieldHundredths, &price, nullptr, 0};
  Keys({kKeyClearField});
  Text("12.505");
  Keys({kKeyEnter, kKeyF10});  // the error window waits for F10
  Keys({kKeyClearField});
  Text("3.5");
  Keys({kKeyEnter});
  EXPECT_EQ(AcceptField(&field, kFormExits, kEditStartFromText), kKeyEnter);
  EXPECT_TRUE(TerminalShowed("Unacceptable format of data"));
  EXPECT_EQ(price, 350u);
  EXPECT_EQ(ImageText(5, 10, 8), "3.50    ");
}

TEST_F(Fields, ArrowLeavesBadValueKeepingTheStoredOne) {
  uint32_t price = 1250;
  const FieldDef field{5, 10, 8, kFieldHundredths, &price, nullptr, 0};
  Keys({kKeyClearField});
  Text("12.505");
  Keys({kKeyDown, kKeyF10});
  EXPECT_EQ(AcceptField(&field, kFormExits, kEditStartFromText), kKeyDown);
  EXPECT_TRUE(TerminalShowed("Unacceptable format of data"));
  EXPECT_EQ(price, 1250u);
  EXPECT_EQ(ImageText(5, 10, 8), "12.50   ");
}

TEST_F(Fields, CheckFunctionRefusalOnEnterAsksAgain) {
  uint16_t channel = 1;
  const FieldDef field{5, 10, 1, kFieldUnsigned16, &channel, CheckChannel, 0};
  Text("5\r3\r");
  EXPECT_EQ(AcceptField(&field, kFormExits, 0), kKeyEnter);
  EXPECT_EQ(channel, 3);
  EXPECT_EQ(checks_called, 2);
}

TEST_F(Fields, EscapeSkipsTheCheck) {
  uint16_t channel = 1;
  const FieldDef field{5, 10, 1, kFieldUnsigned16, &channel, CheckChannel, 0};
  Text("2");
  Keys({kKeyEscape});
  EXPECT_EQ(AcceptField(&field, kEnterEscape, 0), kKeyEscape);
  EXPECT_EQ(checks_called, 0);
}

TEST_F(Fields, OptionalFieldLeftEmptyIsAcceptedWithoutConversionOrCheck) {
  uint16_t channel = 2;
  const FieldDef field{5, 10, 3, -kFieldUnsigned16, &channel, CheckChannel, 0};
  Keys({kKeyClearField, kKeyEnter});
  EXPECT_EQ(AcceptField(&field, kFormExits, kEditStartFromText), kKeyEnter);
  EXPECT_EQ(channel, 2);
  EXPECT_EQ(checks_called, 0);
  EXPECT_FALSE(TerminalShowed("Unacceptable"));
}

TEST_F(Fields, StateCodeIsTypedInCapitals) {
  uint16_t state = 0;
  const FieldDef field{5, 10, 2, kFieldStateCode, &state, nullptr, 0};
  Text("ny\r");
  EXPECT_EQ(AcceptField(&field, kFormExits, 0), kKeyEnter);
  EXPECT_EQ(state, 35);
  EXPECT_EQ(ImageText(5, 10, 2), "NY");
}

TEST_F(Fields, ZeroFillShowsTheValuePaddedWithZeros) {
  uint16_t number = 42;
  const FieldDef field{
      5, 10, 5, kFieldUnsigned16, &number, nullptr, kFieldZeroFill | kEditRightAlign};
  ShowField(&field, 0);
  EXPECT_EQ(ImageText(5, 10, 5), "00042");
}

TEST_F(Fields, IllegalTypeEndsTheProgram) {
  char text[8] = "12";
  const FieldDef field{5, 10, 5, kFieldDashedDigits, text, nullptr, 0};
  EXPECT_EXIT(
      {
        Keys({kKeyF10});
        AcceptField(&field, kFormExits, 0);
      },
      testing::ExitedWithCode(1), "");
}

TEST_F(Fields, EditFieldsWalksWithArrowsAndRestartsFromTheValue) {
  uint16_t first = 0;
  uint16_t second = 0;
  const FieldDef form[] = {{3, 10, 5, kFieldUnsigned16, &first, nullptr, 0},
                           {4, 10, 5, kFieldUnsigned16, &second, nullptr, 0}};
  // Coming back to a field edits its value: "1" goes after the "5".
  Keys({'5', kKeyDown, '7', kKeyUp, '1', kKeyEnter, '9', kKeyEnter});
  EXPECT_EQ(EditFields(form, 0, 1, 0, "\r\x1b", 0), kKeyEnter);
  EXPECT_EQ(first, 51);
  EXPECT_EQ(second, 79);
}

TEST_F(Fields, EditFieldsReturnsAtTheEndsAndOnOtherExitKeys) {
  uint16_t first = 5;
  uint16_t second = 7;
  const FieldDef form[] = {{3, 10, 5, kFieldUnsigned16, &first, nullptr, 0},
                           {4, 10, 5, kFieldUnsigned16, &second, nullptr, 0}};
  Keys({kKeyUp});
  EXPECT_EQ(EditFields(form, 0, 1, 0, "\r", kEditStartFromText), kKeyUp);
  Keys({kKeyDown});
  EXPECT_EQ(EditFields(form, 0, 1, 1, "\r", kEditStartFromText), kKeyDown);
  Keys({kKeyDown, '2', kKeyF3});
  EXPECT_EQ(EditFields(form, 0, 1, 0, "\r\x93", kEditStartFromText), kKeyF3);
  EXPECT_EQ(first, 5);
  EXPECT_EQ(second, 72);
}

TEST_F(Fields, CheckFieldsFindsTheFirstFailure) {
  uint16_t good_state = 35;
  uint16_t no_state = 0;
  uint16_t channel = 9;
  const FieldDef form[] = {{3, 10, 2, kFieldStateCode, &good_state, nullptr, 0},
                           {4, 10, 3, -kFieldUnsigned16, &channel, CheckChannel, 0},
                           {5, 10, 2, kFieldStateCode, &no_state, nullptr, 0},
                           {6, 10, 3, kFieldUnsigned16, &channel, CheckChannel, 0}};
  EXPECT_EQ(CheckFields(form, 0, 1), -1);  // the optional field's refusal does not count
  EXPECT_EQ(checks_called, 1);
  Keys({kKeyF10});
  EXPECT_EQ(CheckFields(form, 0, 3), 2);
  EXPECT_TRUE(TerminalShowed("Missing data"));
  EXPECT_EQ(CheckFields(form, 3, 3), 3);
}

const char* const kNoYes[] = {"NO ", "YES", nullptr};
const char* const kSpeeds[] = {"300", "1200", "9600", nullptr};

struct ChoiceCase {
  const char* name;
  const char* const* choices;
  uint16_t start;
  std::vector<int> keys;
  uint16_t chosen;
};

class Choices : public EditorTest, public testing::WithParamInterface<ChoiceCase> {};

TEST_P(Choices, MoveWrapAndStop) {
  const ChoiceCase& c = GetParam();
  uint16_t index = c.start;
  for (int key : c.keys) Keys({key});
  Keys({kKeyEnter});
  EXPECT_EQ(SelectChoice(5, 10, c.choices, &index, kFormExits, 0), kKeyEnter);
  EXPECT_EQ(index, c.chosen);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Choices,
    testing::Values(ChoiceCase{"YesTwiceStaysYes", kNoYes, 0, {'Y', 'Y'}, 1},
                    ChoiceCase{"RightWrapsFromLast", kNoYes, 1, {kKeyRight}, 0},
                    ChoiceCase{"BlankWrapsFromLast", kSpeeds, 2, {' '}, 0},
                    ChoiceCase{"LeftWrapsFromFirst", kSpeeds, 0, {kKeyLeft}, 2},
                    ChoiceCase{"MinusStopsAtFirst", kSpeeds, 1, {'-', '-', 'n'}, 0},
                    ChoiceCase{"PlusStopsAtLast", kSpeeds, 0, {'+', 's', 'S', 'y'}, 2},
                    ChoiceCase{"OtherKeysIgnored", kSpeeds, 1, {'x', kKeyF5}, 1},
                    ChoiceCase{"StoredIndexTakenModuloCount", kSpeeds, 4, {}, 1}),
    [](const testing::TestParamInfo<ChoiceCase>& info) { return std::string(info.param.name); });

TEST_F(Fields, ChoiceShowsInverseWhileChoosingAndFlagsAfter) {
  uint16_t index = 0;
  const FieldDef field{5, 10, 7, kFieldChoice, &index, kSpeeds, 0};
  bool checked = false;
  AddHotKey(kKeyF2, [&](int, int32_t) {
    EXPECT_EQ(ImageText(5, 10, 4), "1200");
    EXPECT_EQ(ImageCode(5, 10), kInverse);
    checked = true;
    return 0;
  });
  Keys({kKeyRight, kKeyF2, kKeyDown});
  EXPECT_EQ(AcceptField(&field, kFormExits, kBright), kKeyDown);
  EXPECT_TRUE(checked);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(ImageCode(5, 10), kBright);
  ShowField(&field, 0);
  EXPECT_EQ(ImageText(5, 10, 7), "1200   ");
  index = 3;
  ShowField(&field, 0);
  EXPECT_EQ(ImageText(5, 10, 7), "INVALID");
}

TEST_F(Fields, NumberListReadsNumberByNumberAndDropsANinth) {
  uint16_t route[kNumberListWords] = {2, 7, 9};
  Text("1 ,, 2  3,,40\r");
  EXPECT_EQ(EditNumberList(5, 10, route, 0), kKeyEnter);
  EXPECT_EQ(route[0], 4);
  EXPECT_EQ(std::vector<uint16_t>(route + 1, route + 5), (std::vector<uint16_t>{1, 2, 3, 40}));
  EXPECT_EQ(ImageText(5, 10, 10), "1,2,3,40  ");

  Text("1,2,3,4,5,6,7,8,9\r");
  EditNumberList(5, 10, route, 0);
  EXPECT_EQ(route[0], 8);
  EXPECT_EQ(route[8], 8);
  EXPECT_EQ(ImageText(5, 10, 16), "1,2,3,4,5,6,7,8 ");
}

TEST_F(Fields, NumberListEditsFromItsTextAndKeepsItOnEscape) {
  uint16_t route[kNumberListWords] = {2, 7, 9};
  Text(",12");
  Keys({kKeyDown});
  EXPECT_EQ(EditNumberList(5, 10, route, kEditStartFromText), kKeyDown);
  EXPECT_EQ(route[0], 3);
  EXPECT_EQ(route[3], 12);

  Text("99");
  Keys({kKeyEscape});
  EXPECT_EQ(EditNumberList(5, 10, route, kEditStartFromText), kKeyEscape);
  EXPECT_EQ(route[0], 3);
  EXPECT_EQ(ImageText(5, 10, 8), "7,9,12  ");
}

TEST_F(Fields, NumberListLimits) {
  uint16_t route[kNumberListWords] = {0};
  ShowNumberList(5, 10, route, 0);
  EXPECT_EQ(ImageText(5, 10, 5), "NONE ");

  Text("70000\r");
  EditNumberList(5, 10, route, 0);
  EXPECT_EQ(route[0], 1);
  EXPECT_EQ(route[1], 65535);  // a number too large for a word is not wrapped

  Keys({kKeyEnter});
  EditNumberList(5, 10, route, 0);  // Enter on an empty text empties the list
  EXPECT_EQ(route[0], 0);
}

TEST_F(Fields, NumberListFieldThroughAcceptField) {
  uint16_t route[kNumberListWords] = {1, 5};
  const FieldDef field{5, 10, 31, kFieldNumberList, route, nullptr, 0};
  Text(",6\r");
  EXPECT_EQ(AcceptField(&field, kFormExits, kEditStartFromText), kKeyEnter);
  EXPECT_EQ(route[0], 2);
  EXPECT_EQ(route[2], 6);
}

TEST_F(Fields, DrawFormClearsBelowItsFirstLabel) {
  PutText("old text", 2, 1, 0, ' ', 0);
  PutText("old text", 6, 30, 0, ' ', 0);
  const LabelDef labels[] = {{4, 3, "Port:", 0}, {5, 3, "Baud:", kBright}, {0, 0, nullptr, 0}};
  DrawForm(labels);
  EXPECT_EQ(ImageText(2, 1, 8), "old text");
  EXPECT_EQ(ImageText(6, 30, 8), "        ");
  EXPECT_EQ(ImageText(4, 3, 5), "Port:");
  EXPECT_EQ(ImageText(5, 3, 5), "Baud:");
  EXPECT_EQ(ImageCode(5, 3), kBright);
}

TEST_F(Fields, ShowFieldsShowsEachValue) {
  char name[9] = "MODULE";
  uint32_t seconds = 45005;
  const FieldDef form[] = {{3, 10, 8, kFieldText, name, nullptr, 0},
                           {4, 10, 8, kFieldTimeOfDay, &seconds, nullptr, 0}};
  ShowFields(form, 0, 1, 0);
  EXPECT_EQ(ImageText(3, 10, 8), "MODULE  ");
  EXPECT_EQ(ImageText(4, 10, 8), "12:30:05");
}

}  // namespace
}  // namespace console
