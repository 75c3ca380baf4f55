#include "console/field_types.h"

#include <cstdio>
#include <cstring>

namespace console {
namespace {

constexpr char kStateTable[] =
    "AKALARAZCACTCODCDEFLGAHIIAIDILINKSKYLAMAMDMEMIMNMOMSMTNCNDNENHNJNMNVNYOHOKORPARISCSDTNTXUTVAVT"
    "WAWIWVWY";
constexpr int kStateCount = 51;
static_assert(sizeof(kStateTable) == 2 * kStateCount + 1);

// February always allows the 29th: the year is checked only for its range.
constexpr int kDaysPerMonth[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr int kDaysBeforeMonthLeap[12] = {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335};
constexpr int kDaysBeforeMonthCommon[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

constexpr int64_t kSecondsPerDay = 86400;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int Magnitude(int type) { return type < 0 ? -type : type; }

// Length of a stored text, which need not be terminated within its width.
size_t StoredLength(const char* text, int width) {
  return width <= 0 ? 0 : strnlen(text, static_cast<size_t>(width));
}

// Removes every non-digit from the first width characters of text, closing up
// the gap; the text ends after the digits kept. Returns the digit count.
size_t DropNonDigits(char* text, int width) {
  size_t length = StoredLength(text, width);
  size_t kept = 0;
  for (size_t i = 0; i < length; ++i) {
    if (IsDigit(text[i])) text[kept++] = text[i];
  }
  text[kept] = '\0';
  return kept;
}

// Digits as an unsigned number; the caller has limited the count to 9.
uint32_t DigitsValue(const char* digits, size_t count) {
  uint32_t value = 0;
  for (size_t i = 0; i < count; ++i) value = value * 10 + static_cast<uint32_t>(digits[i] - '0');
  return value;
}

void CopyText(char* destination, size_t destination_size, const char* text, size_t length) {
  if (destination_size == 0) return;
  if (length > destination_size - 1) length = destination_size - 1;
  std::memcpy(destination, text, length);
  destination[length] = '\0';
}

// Stores text (at most width characters) into a text field's variable.
void StoreText(void* value, const char* text, int width) {
  char* stored = static_cast<char*>(value);
  size_t length = StoredLength(text, width);
  std::memcpy(stored, text, length);
  stored[length] = '\0';
}

bool AllCharactersIn(const char* text, const char* accepted_others) {
  for (const char* c = text; *c; ++c) {
    if (!IsDigit(*c) && std::strchr(accepted_others, *c) == nullptr) return false;
  }
  return true;
}

// An optional "-" (when minus_allowed) then decimal digits, stopping at the
// first other character. A lone sign is not a number, and a number outside
// [low, high] is refused rather than cut to the variable's size.
bool ParseInteger(const char* text, bool minus_allowed, int64_t low, int64_t high,
                  int64_t& result) {
  const char* c = text;
  bool negative = false;
  if (*c == '-' && minus_allowed) {
    negative = true;
    ++c;
  }
  if (!IsDigit(*c)) return false;
  int64_t magnitude = 0;
  for (; IsDigit(*c); ++c) {
    magnitude = magnitude * 10 + (*c - '0');
    if (magnitude > (int64_t{1} << 33)) return false;  // far out of every range
  }
  result = negative ? -magnitude : magnitude;
  return result >= low && result <= high;
}

int64_t PowerOfTen(int exponent) {
  int64_t power = 1;
  while (exponent-- > 0) power *= 10;
  return power;
}

// Fixed point with `decimals` decimals: whole digits (none means 0), then
// optionally "." and 1..decimals digits; with one decimal the "." may end the
// text. A leading "+" or "-" is taken only when is_signed. Nothing may follow.
bool ParseFixedPoint(const char* text, int decimals, bool is_signed, int64_t low, int64_t high,
                     int64_t& result) {
  const char* c = text;
  bool negative = false;
  if (is_signed && (*c == '+' || *c == '-')) {
    negative = *c == '-';
    ++c;
  }
  const int64_t scale = PowerOfTen(decimals);
  int64_t whole = 0;
  for (; IsDigit(*c); ++c) {
    whole = whole * 10 + (*c - '0');
    if (whole > (int64_t{1} << 33)) return false;
  }
  int64_t magnitude = whole * scale;
  if (*c == '.') {
    ++c;
    int fraction_digits = 0;
    int64_t fraction = 0;
    for (; IsDigit(*c); ++c) {
      if (++fraction_digits > decimals) return false;
      fraction = fraction * 10 + (*c - '0');
    }
    if (fraction_digits == 0 && decimals != 1) return false;
    magnitude += fraction * PowerOfTen(decimals - fraction_digits);
  }
  if (*c != '\0') return false;
  result = negative ? -magnitude : magnitude;
  return result >= low && result <= high;
}

// Shows a signed fixed-point value. The sign is written on its own so that
// values between -1 and 0 keep it (-5 hundredths shows as -0.05).
void FormatSignedFixed(char* destination, size_t destination_size, int32_t value, int decimals) {
  const int64_t scale = PowerOfTen(decimals);
  const int64_t wide = value;
  const uint64_t magnitude = static_cast<uint64_t>(wide < 0 ? -wide : wide);
  std::snprintf(destination, destination_size, "%s%llu.%0*llu", wide < 0 ? "-" : "",
                static_cast<unsigned long long>(magnitude / scale), decimals,
                static_cast<unsigned long long>(magnitude % scale));
}

void FormatUnsignedFixed(char* destination, size_t destination_size, uint32_t value, int decimals) {
  const uint32_t scale = static_cast<uint32_t>(PowerOfTen(decimals));
  std::snprintf(destination, destination_size, "%lu.%0*lu",
                static_cast<unsigned long>(value / scale), decimals,
                static_cast<unsigned long>(value % scale));
}

int DecimalsOf(int type) {
  switch (type) {
    case kFieldTenths:
    case kFieldSignedTenths:
      return 1;
    case kFieldHundredths:
    case kFieldSignedHundredths:
      return 2;
    case kFieldThousandths:
    case kFieldSignedThousandths:
      return 3;
    default:
      return 4;  // kFieldTenThousandths
  }
}

bool FormatDate(char* destination, size_t destination_size, uint32_t value, int width) {
  CalendarDate date = DateFromTime(value);
  char text[40];
  std::snprintf(text, sizeof text, "%02d/%02d/%02d", date.month, date.day, date.year % 100);
  CopyText(destination, destination_size, text, StoredLength(text, width));
  return true;
}

bool FormatTimeOfDay(char* destination, size_t destination_size, uint32_t value, int width) {
  const uint32_t seconds_of_day = value % kSecondsPerDay;
  const unsigned long hours = seconds_of_day / 3600;
  const unsigned long minutes = seconds_of_day / 60 % 60;
  const unsigned long seconds = seconds_of_day % 60;
  char text[16] = "";
  if (width >= 8) {
    std::snprintf(text, sizeof text, "%02lu:%02lu:%02lu", hours, minutes, seconds);
  } else if (width >= 5) {
    std::snprintf(text, sizeof text, "%02lu:%02lu", hours, minutes);
  } else if (width >= 2) {
    std::snprintf(text, sizeof text, "%02lu", hours);
  }
  CopyText(destination, destination_size, text, std::strlen(text));
  return true;
}

bool FormatTelephone(char* destination, size_t destination_size, const char* stored) {
  const size_t length = strnlen(stored, 11);
  if (length >= 10) {
    std::snprintf(destination, destination_size, "(%3.3s)%3.3s-%4.4s", stored, stored + 3,
                  stored + 6);
  } else if (length == 7) {
    std::snprintf(destination, destination_size, "() %3.3s-%4.4s", stored, stored + 3);
  } else {
    return false;
  }
  return true;
}

bool FormatSocialSecurity(char* destination, size_t destination_size, const char* stored) {
  char digits[10];
  size_t count = 0;
  for (size_t i = 0; i < 10 && stored[i] != '\0'; ++i) {
    if (IsDigit(stored[i]) && count < 9)
      digits[count++] = stored[i];
    else if (IsDigit(stored[i]))
      return false;  // more than 9 digits
  }
  if (count != 9) return false;
  digits[9] = '\0';
  std::snprintf(destination, destination_size, "%3.3s-%2.2s-%4.4s", digits, digits + 3, digits + 5);
  return true;
}

bool FormatZipCode(char* destination, size_t destination_size, uint32_t value) {
  if (value >= 512 && value <= 99999) {
    std::snprintf(destination, destination_size, "%05lu", static_cast<unsigned long>(value));
  } else if (value >= 2097152 && value <= 999999999) {
    std::snprintf(destination, destination_size, "%05lu-%04lu",
                  static_cast<unsigned long>(value / 10000),
                  static_cast<unsigned long>(value % 10000));
  } else {
    return false;
  }
  return true;
}

bool FormatValue(char* destination, size_t destination_size, const void* value, int type,
                 int width) {
  switch (type) {
    case kFieldText:
    case kFieldDashedDigits:
    case kFieldDigitText:
    case kFieldDialString: {
      const char* stored = static_cast<const char*>(value);
      CopyText(destination, destination_size, stored, StoredLength(stored, width));
      return true;
    }
    case kFieldUnsigned16:
      std::snprintf(destination, destination_size, "%u",
                    static_cast<unsigned>(*static_cast<const uint16_t*>(value)));
      return true;
    case kFieldUnsigned32:
    case kFieldUnsignedLong:
      std::snprintf(destination, destination_size, "%lu",
                    static_cast<unsigned long>(*static_cast<const uint32_t*>(value)));
      return true;
    case kFieldSigned16:
      std::snprintf(destination, destination_size, "%d",
                    static_cast<int>(*static_cast<const int16_t*>(value)));
      return true;
    case kFieldSigned32:
    case kFieldSignedLong:
      std::snprintf(destination, destination_size, "%ld",
                    static_cast<long>(*static_cast<const int32_t*>(value)));
      return true;
    case kFieldHundredths:
    case kFieldTenths:
    case kFieldTenThousandths:
    case kFieldThousandths:
      FormatUnsignedFixed(destination, destination_size, *static_cast<const uint32_t*>(value),
                          DecimalsOf(type));
      return true;
    case kFieldSignedHundredths:
    case kFieldSignedTenths:
    case kFieldSignedThousandths:
      FormatSignedFixed(destination, destination_size, *static_cast<const int32_t*>(value),
                        DecimalsOf(type));
      return true;
    case kFieldTelephone:
      return FormatTelephone(destination, destination_size, static_cast<const char*>(value));
    case kFieldDate:
      return FormatDate(destination, destination_size, *static_cast<const uint32_t*>(value), width);
    case kFieldZipCode:
      return FormatZipCode(destination, destination_size, *static_cast<const uint32_t*>(value));
    case kFieldStateCode: {
      const uint16_t index = *static_cast<const uint16_t*>(value);
      if (index < 1 || index > kStateCount) return false;
      CopyText(destination, destination_size, kStateTable + 2 * (index - 1), 2);
      return true;
    }
    case kFieldSocialSecurity:
      return FormatSocialSecurity(destination, destination_size, static_cast<const char*>(value));
    case kFieldNineDigits: {
      const uint32_t v = *static_cast<const uint32_t*>(value);
      std::snprintf(destination, destination_size, "%02lu-%03lu-%04lu",
                    static_cast<unsigned long>(v / 10000000),
                    static_cast<unsigned long>(v / 10000 % 1000),
                    static_cast<unsigned long>(v % 10000));
      return true;
    }
    case kFieldTimeOfDay:
      return FormatTimeOfDay(destination, destination_size, *static_cast<const uint32_t*>(value),
                             width);
    case kFieldPhoneNumber: {
      const uint32_t v = *static_cast<const uint32_t*>(value);
      std::snprintf(destination, destination_size, "%03lu-%04lu",
                    static_cast<unsigned long>(v / 10000), static_cast<unsigned long>(v % 10000));
      return true;
    }
    default:
      return true;  // 23, 27, the number list and unknown codes have no text
  }
}

bool ParseDate(void* value, char* text, int width) {
  if (DropNonDigits(text, width) != 6) return false;
  const int month = static_cast<int>(DigitsValue(text, 2));
  const int day = static_cast<int>(DigitsValue(text + 2, 2));
  const int year = static_cast<int>(DigitsValue(text + 4, 2));
  if (month < 1 || month > 12) return false;
  if (day < 1 || day > kDaysPerMonth[month - 1]) return false;
  if (year < 89 || year > 99) return false;
  *static_cast<uint32_t*>(value) = MakeTime(0, 0, 0, day, month, year);
  return true;
}

bool ParseTimeOfDay(void* value, char* text, int width) {
  const size_t count = DropNonDigits(text, width);
  if (count != 4 && count != 6) return false;
  const uint32_t hours = DigitsValue(text, 2);
  const uint32_t minutes = DigitsValue(text + 2, 2);
  if (hours > 23 || minutes > 59) return false;
  uint32_t result = (hours * 60 + minutes) * 60;
  if (width >= 6) {
    if (count != 6) return false;
    const uint32_t seconds = DigitsValue(text + 4, 2);
    if (seconds > 59) return false;
    result += seconds;
  }
  *static_cast<uint32_t*>(value) = result;
  return true;
}

bool ParseStateCode(void* value, const char* text) {
  uint16_t& index = *static_cast<uint16_t*>(value);
  index = 0;
  if (std::strlen(text) != 2) return false;
  for (int i = 0; i < kStateCount; ++i) {
    if (kStateTable[2 * i] == text[0] && kStateTable[2 * i + 1] == text[1]) {
      index = static_cast<uint16_t>(i + 1);
      return true;
    }
  }
  return false;
}

// Stores digits that must number exactly one of the given counts.
bool ParseDigitCount(void* value, char* text, int width, size_t count_a, size_t count_b) {
  const size_t count = DropNonDigits(text, width);
  if (count != count_a && count != count_b) return false;
  *static_cast<uint32_t*>(value) = DigitsValue(text, count);
  return true;
}

bool ParseStoredDigits(void* value, char* text, int width, size_t count_a, size_t count_b,
                       size_t stored_limit) {
  const size_t count = DropNonDigits(text, width);
  if (count != count_a && count != count_b) return false;
  char* stored = static_cast<char*>(value);
  const size_t length = count < stored_limit ? count : stored_limit;
  std::memcpy(stored, text, length);
  stored[length] = '\0';
  return true;
}

bool ParseValue(void* value, char* text, int type, int width) {
  int64_t number = 0;
  switch (type) {
    case kFieldText:
      if (text[0] == '\0') return false;
      StoreText(value, text, width);
      return true;
    case kFieldDashedDigits:
    case kFieldDigitText:
    case kFieldDialString: {
      const char* others = type == kFieldDashedDigits ? "-" : type == kFieldDigitText ? "" : "*#-";
      if (!AllCharactersIn(text, others)) return false;
      StoreText(value, text, width);
      return true;
    }
    case kFieldUnsigned16:
      if (!ParseInteger(text, true, 0, UINT16_MAX, number)) return false;
      *static_cast<uint16_t*>(value) = static_cast<uint16_t>(number);
      return true;
    case kFieldUnsigned32:
      if (!ParseInteger(text, true, 0, UINT32_MAX, number)) return false;
      *static_cast<uint32_t*>(value) = static_cast<uint32_t>(number);
      return true;
    case kFieldUnsignedLong:
      if (!ParseInteger(text, false, 0, UINT32_MAX, number)) return false;
      *static_cast<uint32_t*>(value) = static_cast<uint32_t>(number);
      return true;
    case kFieldSigned16:
      if (!ParseInteger(text, true, INT16_MIN, INT16_MAX, number)) return false;
      *static_cast<int16_t*>(value) = static_cast<int16_t>(number);
      return true;
    case kFieldSigned32:
    case kFieldSignedLong:
      if (!ParseInteger(text, true, INT32_MIN, INT32_MAX, number)) return false;
      *static_cast<int32_t*>(value) = static_cast<int32_t>(number);
      return true;
    case kFieldHundredths:
    case kFieldTenths:
    case kFieldTenThousandths:
    case kFieldThousandths:
      if (!ParseFixedPoint(text, DecimalsOf(type), false, 0, UINT32_MAX, number)) return false;
      *static_cast<uint32_t*>(value) = static_cast<uint32_t>(number);
      return true;
    case kFieldSignedHundredths:
    case kFieldSignedTenths:
    case kFieldSignedThousandths:
      if (!ParseFixedPoint(text, DecimalsOf(type), true, INT32_MIN, INT32_MAX, number)) {
        return false;
      }
      *static_cast<int32_t*>(value) = static_cast<int32_t>(number);
      return true;
    case kFieldTelephone:
      return ParseStoredDigits(value, text, width, 7, 10, 10);
    case kFieldSocialSecurity:
      return ParseStoredDigits(value, text, width, 9, 9, 9);
    case kFieldDate:
      return ParseDate(value, text, width);
    case kFieldZipCode:
      return ParseDigitCount(value, text, width, 5, 9);
    case kFieldStateCode:
      return ParseStateCode(value, text);
    case kFieldNineDigits:
      return ParseDigitCount(value, text, width, 9, 9);
    case kFieldTimeOfDay:
      return ParseTimeOfDay(value, text, width);
    case kFieldPhoneNumber:
      return ParseDigitCount(value, text, width, 7, 7);
    default:
      return true;  // 23, 27, the number list and unknown codes store nothing
  }
}

}  // namespace

int FormatField(char* destination, const void* value, int type, int width,
                size_t destination_size) {
  if (destination == nullptr || destination_size == 0) return 0;
  destination[0] = '\0';
  if (value == nullptr) return 0;
  if (!FormatValue(destination, destination_size, value, Magnitude(type), width)) {
    destination[0] = '\0';
    return 0;
  }
  return 1;
}

int ParseField(void* value, char* text, int type, int width) {
  if (value == nullptr || text == nullptr) return 0;
  return ParseValue(value, text, Magnitude(type), width < 0 ? 0 : width) ? 1 : 0;
}

const char* FieldCharSpec(int type) {
  switch (Magnitude(type)) {
    case kFieldText:
      return " -~";
    case kFieldUnsigned16:
    case kFieldUnsigned32:
    case kFieldUnsignedLong:
    case kFieldDigitText:
      return "0-9";
    case kFieldSigned16:
    case kFieldSigned32:
    case kFieldSignedLong:
      return "0-9+-";
    case kFieldHundredths:
    case kFieldTenths:
    case kFieldTenThousandths:
    case kFieldThousandths:
      return "0-9.";
    case kFieldSignedHundredths:
    case kFieldSignedTenths:
    case kFieldSignedThousandths:
      return "0-9+-.";
    case kFieldTelephone:
    case kFieldSocialSecurity:
    case kFieldNineDigits:
    case kFieldPhoneNumber:
      return " 0-9()-";
    case kFieldDate:
      return "0-9/";
    case kFieldZipCode:
      return "0-9-";
    case kFieldStateCode:
      return "A-Z";
    case kFieldTimeOfDay:
      return "0-9:";
    case kFieldNumberList:
      return "0-9, ";
    default:
      return nullptr;
  }
}

uint32_t MakeTime(int seconds, int minutes, int hours, int day, int month, int year) {
  const int64_t y = ((year % 100) + 100) % 100;
  const int month_index = month < 1 ? 0 : month > 12 ? 11 : month - 1;
  const int* before = y % 4 == 0 ? kDaysBeforeMonthLeap : kDaysBeforeMonthCommon;
  const int64_t days = (y - 70) * 365 + (y - 69) / 4 + day - 1 + before[month_index];
  const int64_t total = ((days * 24 + hours) * 60 + minutes) * 60 + seconds;
  return static_cast<uint32_t>(total);
}

CalendarDate DateFromTime(uint32_t seconds_since_1970) {
  // Civil date from a day count (proleptic Gregorian, days from 1970-01-01).
  const int64_t days = seconds_since_1970 / kSecondsPerDay + 719468;
  const int64_t era = days / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t shifted_month = (5 * day_of_year + 2) / 153;
  const int day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  const int month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  const int year = static_cast<int>(year_of_era + era * 400 + (month <= 2 ? 1 : 0));
  return CalendarDate{year, month, day};
}

}  // namespace console
