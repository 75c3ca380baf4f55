// Field data types: how a field's variable is shown as text, which characters
// the editor accepts for it, and how the typed text is read back into it.
// A negative type code means the same form as its absolute value; the sign
// only marks the field as optional (see fields.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace console {

enum FieldType : int16_t {
  kFieldChoice = 0,            // an index into a list of texts (fields.h)
  kFieldText = 1,              // char[width + 1]
  kFieldUnsigned16 = 2,        // uint16_t
  kFieldUnsigned32 = 3,        // uint32_t, read with a signed conversion
  kFieldUnsignedLong = 4,      // uint32_t, read with an unsigned conversion
  kFieldSigned16 = 5,          // int16_t
  kFieldSigned32 = 6,          // int32_t
  kFieldSignedLong = 7,        // int32_t
  kFieldHundredths = 8,        // uint32_t, 2 decimals
  kFieldSignedHundredths = 9,  // int32_t, 2 decimals
  kFieldTelephone = 10,        // char[11], 7 or 10 digits
  // uint32_t seconds since 1 January 1970, read and shown without any time
  // zone (MakeTime, DateFromTime), so a typed date shows as it was typed.
  kFieldDate = 11,
  kFieldZipCode = 12,            // uint32_t, 5 or 9 digits
  kFieldStateCode = 13,          // uint16_t index 1..51 into the state table
  kFieldTenths = 14,             // uint32_t, 1 decimal
  kFieldSocialSecurity = 15,     // char[10], 9 digits
  kFieldNineDigits = 16,         // uint32_t, 9 digits shown 2-3-4
  kFieldTenThousandths = 17,     // uint32_t, 4 decimals
  kFieldSignedTenths = 18,       // int32_t, 1 decimal
  kFieldSignedThousandths = 19,  // int32_t, 3 decimals
  kFieldThousandths = 20,        // uint32_t, 3 decimals, shown like the other fixed points
  kFieldTimeOfDay = 21,          // uint32_t seconds
  kFieldPhoneNumber = 22,        // uint32_t, 7 digits
  kFieldNone23 = 23,             // no value; not editable
  kFieldDashedDigits = 24,       // char[width + 1] of digits and "-"; not editable
  kFieldDigitText = 25,          // char[width + 1] of digits
  kFieldDialString = 26,         // char[width + 1] of digits, "*", "#", "-"; not editable
  kFieldNone27 = 27,             // no value; not editable
  kFieldNumberList = 28,         // uint16_t[9]: count, then up to 8 numbers
};

// Size of the work text in which a value is formatted and edited; a field
// edited through it is at most kFieldTextSize - 1 columns wide.
constexpr size_t kFieldTextSize = 84;

// Writes the display text of *value into destination (at most
// destination_size - 1 characters, always terminated). Returns 1 when a text
// was produced or the type has none (then the text is empty), 0 when the value
// cannot be shown (the text is then empty too).
int FormatField(char* destination, const void* value, int type, int width, size_t destination_size);

// Reads text back into *value. Types that keep only digits drop every other
// character from text in place, within the first width characters. Returns 1
// when the text was accepted and stored, 0 when it was refused; a refused text
// leaves *value as it was, except the state code, which then stores 0.
int ParseField(void* value, char* text, int type, int width);

// Characters the editor accepts for a type (a character-set spec), or null
// when fields of that type cannot be edited.
const char* FieldCharSpec(int type);

// Seconds since 1 January 1970 00:00 for a date and time, without any
// time-zone adjustment; only year mod 100 counts (70..99 are 1970..1999).
uint32_t MakeTime(int seconds, int minutes, int hours, int day, int month, int year);

// Calendar date of a MakeTime value, by the same zone-free reckoning.
struct CalendarDate {
  int year;   // full year, e.g. 1995
  int month;  // 1..12
  int day;    // 1..31
};
CalendarDate DateFromTime(uint32_t seconds_since_1970);

}  // namespace console
