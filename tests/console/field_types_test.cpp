#include "console/field_types.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace console {
namespace {

// A variable of any numeric field type, read back by the type's size.
struct NumericVariable {
  alignas(8) unsigned char bytes[8];

  explicit NumericVariable(int type) {
    std::memset(bytes, 0xA5, sizeof bytes);  // a refused text must leave this
    sentinel = Read(type);
  }
  int64_t Read(int type) const {
    switch (type < 0 ? -type : type) {
      case kFieldUnsigned16:
      case kFieldStateCode: {
        uint16_t v;
        std::memcpy(&v, bytes, 2);
        return v;
      }
      case kFieldSigned16: {
        int16_t v;
        std::memcpy(&v, bytes, 2);
        return v;
      }
      case kFieldSigned32:
      case kFieldSignedLong:
      case kFieldSignedHundredths:
      case kFieldSignedTenths:
      case kFieldSignedThousandths: {
        int32_t v;
        std::memcpy(&v, bytes, 4);
        return v;
      }
      default: {
        uint32_t v;
        std::memcpy(&v, bytes, 4);
        return v;
      }
    }
  }
  int64_t sentinel;
};

struct ParseCase {
  int type;
  int width;
  const char* typed;
  bool accepted;
  int64_t stored;     // when accepted
  const char* shown;  // FormatField of the stored value, when accepted
};

class NumericParse : public testing::TestWithParam<ParseCase> {};

TEST_P(NumericParse, StoresAndShowsOrRefusesWithoutStoring) {
  const ParseCase& c = GetParam();
  NumericVariable variable(c.type);
  char text[kFieldTextSize];
  std::snprintf(text, sizeof text, "%s", c.typed);
  ASSERT_EQ(ParseField(variable.bytes, text, c.type, c.width), c.accepted ? 1 : 0);
  if (!c.accepted) {
    if (c.type != kFieldStateCode) {
      EXPECT_EQ(variable.Read(c.type), variable.sentinel);
    }
    return;
  }
  EXPECT_EQ(variable.Read(c.type), c.stored);
  char shown[kFieldTextSize];
  EXPECT_EQ(FormatField(shown, variable.bytes, c.type, c.width, sizeof shown), 1);
  EXPECT_STREQ(shown, c.shown);
}

// Fixed point: whole digits, an optional point and at most the type's decimals;
// one decimal also allows a bare trailing point. Signed types take one sign.
INSTANTIATE_TEST_SUITE_P(
    FixedPoint, NumericParse,
    testing::Values(
        ParseCase{8, 10, "12.5", true, 1250, "12.50"},
        ParseCase{8, 10, "12.50", true, 1250, "12.50"}, ParseCase{8, 10, "12", true, 1200, "12.00"},
        ParseCase{8, 10, ".07", true, 7, "0.07"}, ParseCase{8, 10, "", true, 0, "0.00"},
        ParseCase{8, 10, "12.", false, 0, nullptr}, ParseCase{8, 10, "12.505", false, 0, nullptr},
        ParseCase{8, 10, "1.2.3", false, 0, nullptr}, ParseCase{8, 10, "-1.00", false, 0, nullptr},
        ParseCase{8, 12, "42949672.95", true, 4294967295, "42949672.95"},
        ParseCase{8, 12, "42949672.96", false, 0, nullptr},
        ParseCase{9, 10, "-3.07", true, -307, "-3.07"},
        ParseCase{9, 10, "+3.07", true, 307, "3.07"}, ParseCase{9, 10, "-.05", true, -5, "-0.05"},
        ParseCase{9, 10, "--3", false, 0, nullptr},
        ParseCase{9, 12, "-21474836.48", true, INT32_MIN, "-21474836.48"},
        ParseCase{9, 12, "21474836.48", false, 0, nullptr},
        ParseCase{14, 10, "7.", true, 70, "7.0"}, ParseCase{14, 10, "7.3", true, 73, "7.3"},
        ParseCase{14, 10, "7.35", false, 0, nullptr}, ParseCase{14, 10, "7.3x", false, 0, nullptr},
        ParseCase{18, 10, "-0.5", true, -5, "-0.5"}, ParseCase{18, 10, "-7.", true, -70, "-7.0"},
        ParseCase{17, 10, "1.5", true, 15000, "1.5000"},
        ParseCase{17, 10, "1.00005", false, 0, nullptr},
        ParseCase{19, 10, "-2.25", true, -2250, "-2.250"},
        ParseCase{19, 10, "2.", false, 0, nullptr}, ParseCase{20, 10, "3.2", true, 3200, "3.200"}));

// Integers: optional "-" then digits, stopping at the first other character;
// values outside the variable's range are refused rather than wrapped.
INSTANTIATE_TEST_SUITE_P(
    Integers, NumericParse,
    testing::Values(
        ParseCase{2, 5, "65535", true, 65535, "65535"}, ParseCase{2, 5, "65536", false, 0, nullptr},
        ParseCase{2, 5, "12ab", true, 12, "12"}, ParseCase{2, 5, "-0", true, 0, "0"},
        ParseCase{2, 5, "-1", false, 0, nullptr}, ParseCase{2, 5, "", false, 0, nullptr},
        ParseCase{2, 5, "-", false, 0, nullptr}, ParseCase{2, 5, " 5", false, 0, nullptr},
        ParseCase{3, 10, "4294967295", true, 4294967295, "4294967295"},
        ParseCase{3, 12, "99999999999", false, 0, nullptr},
        ParseCase{4, 10, "-5", false, 0, nullptr}, ParseCase{4, 10, "17", true, 17, "17"},
        ParseCase{5, 6, "-32768", true, -32768, "-32768"},
        ParseCase{5, 6, "32768", false, 0, nullptr}, ParseCase{5, 6, "+5", false, 0, nullptr},
        ParseCase{6, 11, "-2147483648", true, INT32_MIN, "-2147483648"},
        ParseCase{7, 11, "2147483648", false, 0, nullptr}));

// The digit-string types drop every non-digit within the width and then want
// a set number of digits.
INSTANTIATE_TEST_SUITE_P(
    DigitForms, NumericParse,
    testing::Values(ParseCase{11, 8, "02/29/95", true, 794016000, "03/01/95"},
                    ParseCase{11, 8, "07/04/89", true, 615513600, "07/04/89"},
                    ParseCase{11, 8, "12/31/99", true, 946598400, "12/31/99"},
                    ParseCase{11, 8, "01/01/00", false, 0, nullptr},
                    ParseCase{11, 8, "01/01/88", false, 0, nullptr},
                    ParseCase{11, 8, "13/01/95", false, 0, nullptr},
                    ParseCase{11, 8, "04/31/95", false, 0, nullptr},
                    ParseCase{11, 8, "1/1/95", false, 0, nullptr},
                    ParseCase{12, 10, "12345-6789", true, 123456789, "12345-6789"},
                    ParseCase{12, 10, "02134", true, 2134, "02134"},
                    ParseCase{12, 10, "1234", false, 0, nullptr},
                    ParseCase{13, 2, "NY", true, 35, "NY"}, ParseCase{13, 2, "AK", true, 1, "AK"},
                    ParseCase{13, 2, "WY", true, 51, "WY"},
                    ParseCase{13, 2, "KA", false, 0, nullptr},  // odd offset of "AKAL"
                    ParseCase{13, 2, "N", false, 0, nullptr},
                    ParseCase{16, 11, "12-345-6789", true, 123456789, "12-345-6789"},
                    ParseCase{16, 11, "12-345-678", false, 0, nullptr},
                    ParseCase{21, 8, "12:30:05", true, 45005, "12:30:05"},
                    ParseCase{21, 8, "12:30", false, 0, nullptr},
                    ParseCase{21, 8, "24:00:00", false, 0, nullptr},
                    ParseCase{21, 8, "23:60:00", false, 0, nullptr},
                    ParseCase{21, 8, "23:59:60", false, 0, nullptr},
                    ParseCase{21, 5, "12:30", true, 45000, "12:30"},
                    ParseCase{21, 5, "1230", true, 45000, "12:30"},
                    ParseCase{21, 4, "1230", true, 45000, "12"},
                    ParseCase{22, 8, "555-1234", true, 5551234, "555-1234"},
                    ParseCase{22, 8, "55-1234", false, 0, nullptr}));

TEST(FieldTypes, StateCodeRefusalStoresZero) {
  uint16_t index = 35;
  char text[] = "XX";
  EXPECT_EQ(ParseField(&index, text, kFieldStateCode, 2), 0);
  EXPECT_EQ(index, 0);
}

TEST(FieldTypes, DroppingNonDigitsWorksWithinTheWidth) {
  uint32_t value = 0;
  char text[] = "555-12345";  // the fifth digit lies beyond the width of 8
  EXPECT_EQ(ParseField(&value, text, kFieldPhoneNumber, 8), 1);
  EXPECT_EQ(value, 5551234u);
  EXPECT_STREQ(text, "5551234");
}

struct ShowCase {
  int type;
  int width;
  uint32_t value;
  bool shown;
  const char* text;
};

class NumericShow : public testing::TestWithParam<ShowCase> {};

TEST_P(NumericShow, FormatsOrRefuses) {
  const ShowCase& c = GetParam();
  alignas(4) unsigned char variable[4];
  if (c.type == kFieldStateCode || c.type == kFieldUnsigned16 || c.type == kFieldSigned16) {
    const uint16_t v = static_cast<uint16_t>(c.value);
    std::memcpy(variable, &v, 2);
  } else {
    std::memcpy(variable, &c.value, 4);
  }
  char text[kFieldTextSize] = "stale";
  EXPECT_EQ(FormatField(text, variable, c.type, c.width, sizeof text), c.shown ? 1 : 0);
  EXPECT_STREQ(text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, NumericShow,
    testing::Values(
        ShowCase{12, 10, 501, false, ""}, ShowCase{12, 10, 512, true, "00512"},
        ShowCase{12, 10, 99999, true, "99999"}, ShowCase{12, 10, 100000, false, ""},
        ShowCase{12, 10, 2097151, false, ""}, ShowCase{12, 10, 123456789, true, "12345-6789"},
        ShowCase{12, 10, 1000000000, false, ""}, ShowCase{13, 2, 0, false, ""},
        ShowCase{13, 2, 52, false, ""}, ShowCase{13, 2, 35, true, "NY"},
        ShowCase{21, 8, 86400 + 3661, true, "01:01:01"}, ShowCase{21, 1, 3661, true, ""},
        ShowCase{11, 5, 794016000, true, "03/01"}, ShowCase{11, 8, 0, true, "01/01/70"},
        // Date display uses no time zone: midnight stays on its day.
        ShowCase{11, 8, 946598400 + 86399, true, "12/31/99"},
        ShowCase{9, 10, static_cast<uint32_t>(-5), true, "-0.05"},
        ShowCase{18, 10, static_cast<uint32_t>(-5), true, "-0.5"},
        ShowCase{19, 10, static_cast<uint32_t>(INT32_MIN), true, "-2147483.648"},
        ShowCase{2, 5, 65535, true, "65535"}, ShowCase{5, 6, static_cast<uint16_t>(-2), true, "-2"},
        ShowCase{23, 5, 0, true, ""}, ShowCase{27, 5, 0, true, ""}, ShowCase{28, 5, 0, true, ""},
        ShowCase{0, 5, 0, true, ""}, ShowCase{29, 5, 0, true, ""}, ShowCase{-29, 5, 0, true, ""}));

struct TextCase {
  int type;
  int width;
  const char* stored;   // the variable before, shown
  const char* display;  // nullptr: cannot be shown
  const char* typed;
  const char* after;  // the variable after ParseField, nullptr: refused
};

class TextTypes : public testing::TestWithParam<TextCase> {};

TEST_P(TextTypes, ShowsAndReadsBack) {
  const TextCase& c = GetParam();
  char variable[kFieldTextSize];
  std::snprintf(variable, sizeof variable, "%s", c.stored);
  char shown[kFieldTextSize];
  EXPECT_EQ(FormatField(shown, variable, c.type, c.width, sizeof shown), c.display ? 1 : 0);
  EXPECT_STREQ(shown, c.display ? c.display : "");

  char typed[kFieldTextSize];
  std::snprintf(typed, sizeof typed, "%s", c.typed);
  EXPECT_EQ(ParseField(variable, typed, c.type, c.width), c.after ? 1 : 0);
  EXPECT_STREQ(variable, c.after ? c.after : c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextTypes,
    testing::Values(TextCase{1, 5, "HELLO", "HELLO", "WORLD!", "WORLD"},
                    TextCase{1, 5, "HELLOWORLD", "HELLO", "", nullptr},
                    TextCase{10, 16, "6175551234", "(617)555-1234", " (508) 555-0101 ",
                             "5085550101"},
                    TextCase{10, 13, "5551234", "() 555-1234", "555-1234", "5551234"},
                    TextCase{10, 13, "55512", nullptr, "555-123", nullptr},
                    TextCase{10, 15, "5551234", "() 555-1234", "1 617 555 1234", nullptr},
                    TextCase{15, 11, "123456789", "123-45-6789", "987-65-4321", "987654321"},
                    TextCase{15, 11, "123-45-678", nullptr, "987-65-432", nullptr},
                    TextCase{24, 8, "12-34", "12-34", "1-2-3", "1-2-3"},
                    TextCase{24, 8, "12-34", "12-34", "1*2", nullptr},
                    TextCase{25, 8, "123", "123", "", ""},
                    TextCase{25, 8, "123", "123", "12a", nullptr},
                    TextCase{26, 8, "*1#", "*1#", "*67-1#", "*67-1#"},
                    TextCase{26, 8, "*1#", "*1#", "*67+1", nullptr}));

TEST(FieldTypes, FormattingIsCutToTheDestination) {
  char stored[] = "ABCDEFGHIJ";
  char small[4];
  EXPECT_EQ(FormatField(small, stored, kFieldText, 10, sizeof small), 1);
  EXPECT_STREQ(small, "ABC");
  uint32_t zip = 123456789;
  EXPECT_EQ(FormatField(small, &zip, kFieldZipCode, 10, sizeof small), 1);
  EXPECT_STREQ(small, "123");
}

TEST(FieldTypes, NegativeCodeBehavesAsItsMagnitude) {
  uint32_t value = 0;
  char text[] = "12.5";
  EXPECT_EQ(ParseField(&value, text, -kFieldHundredths, 10), 1);
  EXPECT_EQ(value, 1250u);
  EXPECT_STREQ(FieldCharSpec(-kFieldHundredths), "0-9.");
}

TEST(FieldTypes, NotEditableCodesHaveNoCharacterSet) {
  for (int type : {0, 23, 24, 26, 27, 29, -23}) EXPECT_EQ(FieldCharSpec(type), nullptr) << type;
  for (int type = 1; type <= 28; ++type) {
    if (type == 23 || type == 24 || type == 26 || type == 27) continue;
    EXPECT_NE(FieldCharSpec(type), nullptr) << type;
  }
}

// West of UTC a local-time display would show a typed date as the day before.
TEST(FieldTypes, TypedDateShowsAsTypedInEveryTimeZone) {
  const char* zones[] = {"EST5EDT", "PST8PDT", "JST-9", "UTC0"};
  for (const char* zone : zones) {
    setenv("TZ", zone, 1);
    tzset();
    uint32_t date = 0;
    char typed[] = "07/04/89";
    ASSERT_EQ(ParseField(&date, typed, kFieldDate, 8), 1);
    char shown[kFieldTextSize];
    FormatField(shown, &date, kFieldDate, 8, sizeof shown);
    EXPECT_STREQ(shown, "07/04/89") << zone;
  }
  unsetenv("TZ");
  tzset();
}

TEST(MakeTime, CountsDaysWithoutTimeZone) {
  EXPECT_EQ(MakeTime(0, 0, 0, 1, 1, 70), 0u);
  EXPECT_EQ(MakeTime(0, 0, 0, 1, 3, 72), 790 * 86400u);  // 1972 is a leap year
  EXPECT_EQ(MakeTime(5, 30, 12, 1, 1, 1989), 599616000u + 45005u);
  EXPECT_EQ(MakeTime(0, 0, 0, 1, 1, 1989), MakeTime(0, 0, 0, 1, 1, 89));
  const CalendarDate date = DateFromTime(MakeTime(0, 0, 0, 28, 2, 96));
  EXPECT_EQ(date.year, 1996);
  EXPECT_EQ(date.month, 2);
  EXPECT_EQ(date.day, 28);
}

}  // namespace
}  // namespace console
