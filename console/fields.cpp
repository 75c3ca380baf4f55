#include "console/fields.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console/choice_field.h"
#include "console/field_types.h"
#include "console/line_editor.h"
#include "console/number_list.h"
#include "console/screen.h"
#include "console/windows.h"

namespace console {
namespace {

constexpr char kEditFill = '.';

int TypeOf(const FieldDef* field) { return field->type < 0 ? -field->type : field->type; }

int WidthOf(const FieldDef* field) {
  return std::clamp(static_cast<int>(field->width), 0, kFieldWidthLimit);
}

char ValueFill(uint32_t flags) { return (flags & kFieldZeroFill) ? '0' : ' '; }

bool IsEditableType(int type) { return type <= kFieldNumberList && FieldCharSpec(type) != nullptr; }

// A field descriptor with a type that cannot be edited is a fault in the
// program itself: say so and end, giving the terminal back.
[[noreturn]] void StopForIllegalType() {
  ShowError("Illegal DataType code passed to AcceptField");
  CloseScreen();
  std::exit(1);
}

// Writes a formatted value over the field's width. A masked field shows one
// edit fill character per character, as it did while it was edited.
void ShowValueText(const FieldDef* field, const char* text, uint32_t flags) {
  std::string shown(text);
  if (flags & kEditMasked) std::fill(shown.begin(), shown.end(), kEditFill);
  PutText(shown.c_str(), field->row, field->column, WidthOf(field), ValueFill(flags),
          DisplayFlags(flags));
}

void ShowFinalValue(const FieldDef* field, uint32_t flags) {
  if (TypeOf(field) == kFieldNumberList) {
    ShowNumberList(field->row, field->column, static_cast<const uint16_t*>(field->value), flags);
    return;
  }
  char text[kFieldTextSize];
  FormatField(text, field->value, field->type, WidthOf(field), sizeof text);
  ShowValueText(field, text, flags);
}

}  // namespace

int AcceptField(const FieldDef* field, const char* exit_keys, uint32_t flags) {
  if (field == nullptr) return kKeyEscape;
  flags |= field->flags;
  if (field->type == kFieldChoice) {
    return SelectChoice(field->row, field->column, field->extra.choices,
                        static_cast<uint16_t*>(field->value), exit_keys, flags);
  }
  const int type = TypeOf(field);
  const int width = WidthOf(field);
  if (!IsEditableType(type)) StopForIllegalType();

  for (;;) {
    char work[kFieldTextSize] = "";
    if (flags & kEditStartFromText) FormatField(work, field->value, type, width, sizeof work);

    int key;
    if (type == kFieldNumberList) {
      key = EditNumberList(field->row, field->column, static_cast<uint16_t*>(field->value), flags);
    } else {
      const uint32_t type_flags = type == kFieldStateCode ? kEditCapitals : 0;
      key = EditLine(work, field->row, field->column, width, kEditFill, FieldCharSpec(type),
                     exit_keys, flags | type_flags);
    }

    bool accepted;
    const bool converted = ParseField(field->value, work, type, width) != 0;
    if (field->type < 0 && work[0] == '\0') {
      accepted = true;  // an optional field left empty
    } else if (!converted) {
      if (key != kKeyEscape) ShowError("Unacceptable format of data");
      accepted = false;
    } else if (key != kKeyEscape && field->extra.check != nullptr) {
      accepted = field->extra.check(field->value, width, field) != 0;
    } else {
      accepted = true;
    }

    if (!accepted && key == kKeyEnter) continue;  // Enter insists on a good value
    if (!accepted) {
      PutText("", field->row, field->column, width, ValueFill(flags), DisplayFlags(flags));
    }
    ShowFinalValue(field, flags);
    return key;
  }
}

void ShowField(const FieldDef* field, uint32_t flags) {
  flags |= field->flags;
  switch (TypeOf(field)) {
    case kFieldChoice: {
      const auto* index = static_cast<const uint16_t*>(field->value);
      ShowChoice(field->row, field->column, field->extra.choices, index ? *index : -1, field->width,
                 flags);
      return;
    }
    default:
      ShowFinalValue(field, flags);
      return;
  }
}

void ShowFields(const FieldDef* fields, int first, int last, uint32_t flags) {
  for (int i = first; i <= last; ++i) ShowField(&fields[i], flags);
}

int EditFields(const FieldDef* fields, int first, int last, int start, const char* exit_keys,
               uint32_t flags) {
  if (last < first) return kKeyEscape;
  std::string exits(exit_keys ? exit_keys : "");
  if (exits.size() > kFormExitKeysLimit) exits.resize(kFormExitKeysLimit);
  exits += static_cast<char>(kKeyDown);
  exits += static_cast<char>(kKeyUp);

  // Each field keeps its own flags, so that a field edited once starts from
  // its value when the user comes back to it.
  std::vector<uint32_t> field_flags(static_cast<size_t>(last - first + 1), flags);
  int current = std::clamp(start, first, last);
  for (;;) {
    uint32_t& own_flags = field_flags[static_cast<size_t>(current - first)];
    const int key = AcceptField(&fields[current], exits.c_str(), own_flags);
    if (key != kKeyEscape) own_flags |= kEditStartFromText;
    if (key == kKeyDown || key == kKeyEnter) {
      if (current == last) return key;
      ++current;
    } else if (key == kKeyUp) {
      if (current == first) return key;
      --current;
    } else {
      return key;
    }
  }
}

int CheckFields(const FieldDef* fields, int first, int last) {
  for (int i = first; i <= last; ++i) {
    const FieldDef* field = &fields[i];
    if (field->type > 0) {
      char text[kFieldTextSize];
      if (!FormatField(text, field->value, field->type, WidthOf(field), sizeof text)) {
        ShowError("Missing data");
        return i;
      }
      if (field->extra.check != nullptr &&
          !field->extra.check(field->value, WidthOf(field), field)) {
        return i;
      }
    } else if (field->type < 0 && field->extra.check != nullptr) {
      field->extra.check(field->value, WidthOf(field), field);  // its answer does not count
    }
  }
  return -1;
}

void DrawLabels(const LabelDef* labels) {
  for (const LabelDef* label = labels; label != nullptr && label->text != nullptr; ++label) {
    PutText(label->text, label->row, label->column, 0, ' ', static_cast<int>(label->flags));
  }
}

void DrawForm(const LabelDef* labels) {
  if (labels == nullptr) return;
  ClearToEos(labels[0].row, 1);
  DrawLabels(labels);
}

}  // namespace console
