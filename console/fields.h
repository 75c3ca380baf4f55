// Fields and forms: a field descriptor names a variable, its place on the
// screen and its data type; AcceptField shows, edits, reads back and checks
// it; the form operations walk a range of fields and draw label lists.
#pragma once

#include <cstddef>
#include <cstdint>

namespace console {

struct FieldDef;

// Accepts (non-zero) or refuses (0) the value just stored in a field; shows
// its own message when it refuses.
using FieldCheck = int (*)(void* value, int width, const FieldDef* field);

// A choice field's texts (null-terminated array) or another field's check.
struct FieldExtra {
  constexpr FieldExtra() = default;
  constexpr FieldExtra(std::nullptr_t) {}
  constexpr FieldExtra(const char* const* choice_texts) : choices(choice_texts) {}
  constexpr FieldExtra(FieldCheck check_function) : check(check_function) {}

  const char* const* choices = nullptr;
  FieldCheck check = nullptr;
};

struct FieldDef {
  int16_t row;     // 1-based
  int16_t column;  // 1-based
  int16_t width;   // also the text limit
  // Data type code (field_types.h); 0 a choice, 28 a number list; negative:
  // the same type, but the field may be left empty.
  int16_t type;
  void* value;  // the variable, in the form of its data type
  FieldExtra extra;
  uint32_t flags;  // line editor flags added to those of every call
};

struct LabelDef {
  int16_t row;
  int16_t column;
  const char* text;  // null ends a label list
  uint32_t flags;    // display flags
};

// Fields edited through AcceptField are at most this wide.
constexpr int kFieldWidthLimit = 83;
// Exit keys passed to EditFields are cut to this many.
constexpr size_t kFormExitKeysLimit = 61;
// Value fill: with this flag the value is shown padded with "0", not blanks.
constexpr uint32_t kFieldZeroFill = 0x10000;

// Edits one field until an exit key; Enter on a value that cannot be read
// back (or that its check refuses) asks again, any other exit key leaves the
// field showing the stored value. Returns the key that ended the edit.
int AcceptField(const FieldDef* field, const char* exit_keys, uint32_t flags);
void ShowField(const FieldDef* field, uint32_t flags);
void ShowFields(const FieldDef* fields, int first, int last, uint32_t flags);
// Edits fields first..last from start: Down and Enter go to the next field,
// Up to the previous; leaving the range or any other exit key ends the form.
int EditFields(const FieldDef* fields, int first, int last, int start, const char* exit_keys,
               uint32_t flags);
// Index of the first required field that cannot be shown or that its check
// refuses, or -1.
int CheckFields(const FieldDef* fields, int first, int last);

void DrawLabels(const LabelDef* labels);
// Clears from column 1 of the first label's row to the end of the screen,
// then draws the labels.
void DrawForm(const LabelDef* labels);

}  // namespace console
