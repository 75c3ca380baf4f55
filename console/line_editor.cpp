#include "console/line_editor.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "console/screen.h"

namespace console {

void BuildCharSet(const char* spec, uint16_t set[kCharSetWords]) {
  std::fill(set, set + kCharSetWords, 0);
  if (spec == nullptr || spec[0] == '\0') return;
  auto add = [set](int code) { set[code / 16] |= static_cast<uint16_t>(1u << (code % 16)); };
  const auto* s = reinterpret_cast<const unsigned char*>(spec);
  add(s[0]);
  for (size_t i = 1; s[i] != '\0'; ++i) {
    if (s[i] == '-' && s[i + 1] != '\0') {
      for (int code = s[i - 1]; code <= s[i + 1]; ++code) add(code);
    } else {
      add(s[i]);
    }
  }
}

int InCharSet(int character, const uint16_t set[kCharSetWords]) {
  if (character < 0 || character > 255) return 0;
  return (set[character / 16] >> (character % 16)) & 1;
}

namespace {

bool IsLetterOrDigit(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// One edit in progress. The text lives in the caller's buffer; length and
// position are kept apart from it, as the position may stand past the end.
class LineEdit {
 public:
  LineEdit(char* buffer, int row, int column, int width, char fill, const char* allowed_spec,
           const char* exit_keys, uint32_t flags)
      : buffer_(buffer), fill_(fill), flags_(flags) {
    row_ = std::clamp(row, 1, kScreenRows);
    column_ = std::clamp(column, 1, kImageColumns);
    width_ = std::clamp(width, 0, kImageColumns - column_ + 1);
    attribute_ = static_cast<int>(flags & kEditAttributeMask);
    BuildCharSet(allowed_spec, allowed_);
    BuildCharSet(exit_keys, exits_);
  }

  int Run() {
    if (flags_ & kEditBeepFirst) Beep();
    if (flags_ & kEditStartFromText) {
      buffer_[width_] = '\0';
      length_ = static_cast<int>(std::strlen(buffer_));
      if (!(flags_ & kEditReplaceOnFirstKey)) position_ = length_;
    }
    const int saved_insert_mode = InsertMode();
    if (flags_ & kEditOvertype) SetInsertMode(0);
    Redraw(0, width_);

    int key = 0;
    for (;;) {
      PlaceCursor();
      ShowCursor();
      key = ReadQueuedKey(-1);
      if (key == 0) continue;
      HideCursor();
      if (DispatchHotKey(key, position_)) continue;
      if ((flags_ & kEditCapitals) && key >= 'a' && key <= 'z') key -= 'a' - 'A';

      const bool allowed = InCharSet(key, allowed_);
      if (allowed) {
        EnterCharacter(key);
        if ((flags_ & kEditLeaveWhenFull) && length_ >= width_) key = kKeyEnter;
      }
      if (InCharSet(key, exits_)) break;
      if (!allowed) {
        if (key == kKeyEscape) {
          ClearField();
          break;
        }
        if (!ApplyEditingKey(key)) {
          if (!(flags_ & kEditQuiet)) Beep();
          continue;  // dropped: the first-key state goes on
        }
      }
      first_key_ = false;
    }
    Finish();
    if (flags_ & kEditOvertype) SetInsertMode(saved_insert_mode);
    return key;
  }

 private:
  // Draws the cells from..to of the field: the text (or the fill character
  // for each masked character), then fill characters.
  void Redraw(int from, int to) {
    from = std::max(from, 0);
    to = std::min(to, width_);
    if (from >= to) return;
    std::string cells;
    for (int i = from; i < to; ++i) {
      const bool in_text = i < length_;
      cells += in_text && !(flags_ & kEditMasked) ? buffer_[i] : fill_;
    }
    PutText(cells.c_str(), row_, column_ + from, to - from, fill_, attribute_);
  }

  void PlaceCursor() { SetCursor(row_ - 1, std::min(column_ - 1 + position_, kImageColumns - 1)); }

  void EnterCharacter(int key) {
    if (first_key_ && (flags_ & kEditReplaceOnFirstKey)) {
      length_ = 0;
      Redraw(0, width_);
    }
    const char c = static_cast<char>(key);
    if (position_ < length_) {
      if (InsertMode()) {
        if (length_ >= width_) {
          Beep();  // a full field in insert mode beeps even when quiet
          return;
        }
        std::memmove(buffer_ + position_ + 1, buffer_ + position_, length_ - position_);
        buffer_[position_] = c;
        ++length_;
        Redraw(position_, length_);
      } else {
        buffer_[position_] = c;
        Redraw(position_, position_ + 1);
      }
      ++position_;
      return;
    }
    // At or past the end. The position may stand at the width after Right:
    // there is no room left there either.
    if (length_ >= width_ || position_ >= width_) {
      if (!(flags_ & kEditQuiet)) Beep();
      return;
    }
    const int old_length = length_;
    std::fill(buffer_ + length_, buffer_ + position_, ' ');
    buffer_[position_] = c;
    length_ = position_ + 1;
    Redraw(old_length, length_);
    ++position_;
  }

  char CharacterAt(int index) const { return index < length_ ? buffer_[index] : ' '; }

  // Erases the cells from the position to the end of the text.
  void EraseToEnd() {
    if (position_ >= length_) return;
    const int old_length = length_;
    length_ = position_;
    Redraw(position_, old_length);
  }

  void ClearField() {
    if (length_ == 0) return;
    position_ = 0;
    EraseToEnd();
  }

  void RemoveBeforePosition() {
    std::memmove(buffer_ + position_ - 1, buffer_ + position_, length_ - position_);
    --length_;
    --position_;
    Redraw(position_, length_ + 1);
  }

  // Returns false for a key that is no editing key.
  bool ApplyEditingKey(int key) {
    switch (key) {
      case kKeyLeft:
        if (position_ > 0) --position_;
        return true;
      case kKeyRight:
        if (position_ < length_ || (InCharSet(' ', allowed_) && position_ < width_)) {
          Redraw(position_, position_ + 1);
          ++position_;
        }
        return true;
      case kKeyHome:
        position_ = 0;
        return true;
      case kKeyEnd:
        position_ = length_;
        return true;
      case kKeyClearField:
        ClearField();
        return true;
      case kKeyEraseToEnd:
        EraseToEnd();
        return true;
      case kKeyEraseToStart:
        if (position_ > 0) {
          const int removed = std::min(position_, length_);
          const int old_length = length_;
          std::memmove(buffer_, buffer_ + removed, length_ - removed);
          length_ -= removed;
          Redraw(0, old_length);
          position_ = 0;
        }
        return true;
      case kKeyWordRight:
        while (position_ < length_ && IsLetterOrDigit(buffer_[position_])) ++position_;
        while (position_ < length_ && !IsLetterOrDigit(buffer_[position_])) ++position_;
        return true;
      case kKeyWordLeft:
        while (position_ > 0) {
          --position_;
          if (!IsLetterOrDigit(CharacterAt(position_))) break;
        }
        while (position_ > 0 && !IsLetterOrDigit(CharacterAt(position_ - 1))) --position_;
        return true;
      case kKeyDelete:
        if (position_ < length_) {
          ++position_;
          RemoveBeforePosition();
        }
        return true;
      case kKeyBackspace:
        if (position_ > length_) {
          --position_;
        } else if (position_ > 0) {
          RemoveBeforePosition();
        }
        return true;
      default:
        return false;
    }
  }

  // Pads or terminates the text and leaves the field showing it in blanks.
  void Finish() {
    int text_start = 0;
    const int text_length = length_;
    if (flags_ & kEditPad) {
      const int free_width = width_ - length_;
      if (flags_ & kEditCentre) {
        text_start = free_width / 2;
      } else if (flags_ & kEditRightAlign) {
        text_start = free_width;
      }
      if (text_start > 0) std::memmove(buffer_ + text_start, buffer_, length_);
      std::fill(buffer_, buffer_ + text_start, ' ');
      std::fill(buffer_ + text_start + length_, buffer_ + width_, ' ');
      length_ = width_;
      buffer_[width_] = '\0';
    } else {
      std::fill(buffer_ + length_, buffer_ + width_ + 1, '\0');
    }
    // A masked text stays masked in the image, so that a repaint cannot
    // reveal it.
    std::string shown(buffer_, length_);
    if (flags_ & kEditMasked) {
      std::fill(shown.begin() + text_start, shown.begin() + text_start + text_length, fill_);
    }
    if (width_ > 0) PutText(shown.c_str(), row_, column_, width_, ' ', attribute_);
    HideCursor();
  }

  char* buffer_;
  int row_ = 1;
  int column_ = 1;
  int width_ = 0;
  char fill_;
  uint32_t flags_;
  int attribute_ = 0;
  uint16_t allowed_[kCharSetWords];
  uint16_t exits_[kCharSetWords];
  int length_ = 0;
  int position_ = 0;
  bool first_key_ = true;
};

}  // namespace

int EditLine(char* buffer, int row, int column, int width, char fill, const char* allowed_spec,
             const char* exit_keys, uint32_t flags) {
  if (buffer == nullptr) return kKeyEscape;
  LineEdit edit(buffer, row, column, width, fill, allowed_spec, exit_keys, flags);
  return edit.Run();
}

}  // namespace console
