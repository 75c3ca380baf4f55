// The screen image and the keyboard: the bottom layer of the console toolkit.
//
// The toolkit keeps an image of 25 rows by 132 columns (only columns 1 to 80
// are visible) and writes to the terminal only the cells that differ from it.
// Keys are read as one-byte codes: plain characters as typed, function, cursor
// and editing keys as the codes below. All coordinates are 1-based and clamped
// (row 1..25, column 1..132) unless a function says they are 0-based.
// Single-threaded: every function runs on the program's one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace console {

class ConsoleBackend;

constexpr int kScreenRows = 25;
constexpr int kImageColumns = 132;
constexpr int kConsoleColumns = 80;
constexpr int kImageCells = kScreenRows * kImageColumns;  // 3300
constexpr int kPrintAtLimit = 135;  // longest formatted PrintAt / ShowErrorF text

// Attribute codes (the low three bits of a flags argument): bit 0 inverse,
// bit 1 bright, bit 2 red.
constexpr int kNormal = 0;
constexpr int kInverse = 1;
constexpr int kBright = 2;
constexpr int kInverseBright = 3;
constexpr int kRed = 4;
constexpr int kInverseRed = 5;
constexpr int kBrightRed = 6;
constexpr int kInverseBrightRed = 7;

// Display flags of PutText and of everything that passes flags on.
constexpr int kAttributeMask = 0x0007;
constexpr int kCentre = 0x0020;
constexpr int kRightAlign = 0x0040;  // kCentre wins when both are set
constexpr int kCapitals = 0x1000;    // a..z become A..Z
constexpr int kBeepFirst = 0x2000;

// Console attributes (background in the high nibble, foreground in the low).
constexpr unsigned char kNormalConsoleAttribute = 0x17;  // white on blue

// Key codes.
constexpr int kKeyCtrlEnter = 10;
constexpr int kKeyEnter = 13;
constexpr int kKeyEscape = 27;
constexpr int kKeyScanCode8 = 127;
constexpr int kKeyDown = 138;
constexpr int kKeyUp = 139;
constexpr int kKeyLeft = 140;
constexpr int kKeyRight = 141;
constexpr int kKeyF1 = 145;
constexpr int kKeyF2 = 146;
constexpr int kKeyF3 = 147;
constexpr int kKeyF4 = 148;
constexpr int kKeyF5 = 149;
constexpr int kKeyF6 = 150;
constexpr int kKeyF7 = 151;
constexpr int kKeyF8 = 152;
constexpr int kKeyF9 = 153;
constexpr int kKeyF10 = 154;
constexpr int kKeyHome = 177;          // also Ctrl-A
constexpr int kKeyEnd = 178;           // also Ctrl-G
constexpr int kKeyClearField = 179;    // Ctrl-Y
constexpr int kKeyEraseToEnd = 180;    // Ctrl-D
constexpr int kKeyEraseToStart = 181;  // Ctrl-U
constexpr int kKeyWordRight = 182;     // Ctrl-F
constexpr int kKeyWordLeft = 183;      // Ctrl-R
constexpr int kKeyDelete = 184;        // also Ctrl-V
constexpr int kKeyBackspace = 185;     // also Ctrl-H
constexpr int kKeyPageDown = 186;
constexpr int kKeyPageUp = 187;
constexpr int kKeyCtrlEnd = 188;  // the terminal emulator's way out
// Never delivered: the raw reader turns it into a toggle of insert mode.
constexpr int kKeyInsertToggle = 255;

// Takes the terminal: raw mode, alternate screen, blank 80 x 25 in white on
// blue, empty image, windows and hot keys. Returns false, with the reason in
// ScreenMessage(), when there is no usable terminal (none, or one smaller than
// 80 x 25); nothing has changed then.
bool InitScreen();
// As InitScreen, on a given backend (the in-memory console of tests). The
// backend must outlive the screen (until CloseScreen).
bool InitScreenOn(ConsoleBackend& backend);
// Gives the terminal back as it was; frees windows left open and hot keys.
void CloseScreen();
// Why the last InitScreen failed.
const char* ScreenMessage();
// Between InitScreen and CloseScreen. Without a screen, GetKey returns Escape.
bool ScreenIsOpen();

// Writes text at row, column over width cells (0 = the text's own length),
// padded with fill (left, centred or right-aligned by flags) or cut to width,
// and cut at column 132. Only cells that differ from the image are written.
void PutText(const char* text, int row, int column, int width, char fill, int flags);
// Formats (at most 135 characters) and calls PutText.
void PrintAt(const char* format, int row, int column, int width, char fill, int flags, ...)
    __attribute__((format(printf, 1, 7)));
void ClearToEol(int row, int column);
void ClearToEos(int row, int column);
// The next output, key read or line edit first redraws the whole terminal
// from the image (after something wrote to the terminal behind our back).
void RequestRepaint();
bool RepaintPending();
void RepaintScreen();
// Lends the terminal to a program started in the foreground (the text
// editor): normal mode and the ordinary screen until RetakeTerminal, which
// takes it again and redraws the whole screen from the image at the next
// output.
void ReleaseTerminal();
void RetakeTerminal();
// One save slot for the whole image.
void SaveScreen();
void RestoreScreen();

// wait < 0: wait for a key; wait >= 0: return 0 at once when no key waits.
int ReadKey(int wait);
int GetKey();  // ReadKey(-1)
// Waits at most timeout_ms for a key; 0 when none came. Live screens pace
// their refresh with it and still answer a key at once.
int ReadKeyWithin(int timeout_ms);
// Queues each character as a key, read before the keyboard. The ring holds
// 100 keys; keys beyond that are dropped.
void StuffKeys(const char* text);

// A hot key's handler runs whenever its key is read (the key is consumed).
// position is -1, or the cursor position when the line editor dispatches.
using HotKeyHandler = std::function<int(int key, std::int32_t position)>;
void AddHotKey(int key, HotKeyHandler handler);
// Removes the most recently added node of that key; nothing if there is none.
void RemoveHotKey(int key);
// For editors that dispatch hot keys themselves: the next stuffed key, else a
// key from the keyboard, without hot-key dispatch (0 when wait >= 0 and none).
int ReadQueuedKey(int wait);
// Runs the first idle handler of key (searching from the oldest); returns 1
// when one ran, 0 when there is none.
int DispatchHotKey(int key, std::int32_t position);

// Insert mode (1 insert, 0 overwrite) starts at 1; the Insert key toggles it.
int InsertMode();
void SetInsertMode(int on);

// Ctrl+C runs the interrupt handler (by default: give the terminal back and
// end as if interrupted) and Ctrl+Z suspends the program. Turned off, both
// arrive as the keys 3 and 26 (for a screen that passes every byte on).
void SetJobControlKeys(bool enabled);
void SetInterruptHandler(std::function<void()> handler);
// For a screen that sends every typed key on (the terminal emulator): control
// characters arrive as themselves (Ctrl-A as 1, not Home; Backspace stays
// kKeyBackspace) and Insert arrives as kKeyInsertToggle instead of toggling
// insert mode.
void SetPassThroughKeys(bool enabled);

void Beep();
// Toolkit cursor, 0-based; also moves the terminal's visible cursor.
void SetCursor(int row, int column);
int CursorRow();     // 0-based
int CursorColumn();  // 0-based
void ShowCursor();
void HideCursor();
// Blanks 2000 terminal cells from the toolkit cursor in white on blue,
// leaving the image alone.
void ClearConsoleFromCursor();

// Plain output behind the image's back, as a program writing to its console:
// bytes at the toolkit cursor (which follows them) in white on blue; CR goes
// to column 1, LF to the next row, BS one column back; the text wraps after
// column 80 and a new row past row 25 scrolls the screen up. Other control
// bytes show nothing. Call RequestRepaint when the toolkit takes over again.
void WritePlain(const char* bytes, int count);

// The image, 1-based and clamped: for tests and for code that reads back.
unsigned char ImageCharacter(int row, int column);
int ImageCode(int row, int column);
// Columns 1..80 of one row as text.
std::string ImageRowText(int row);

}  // namespace console
