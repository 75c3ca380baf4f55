// quillet's register editor screen: a live page of up to 20 registers in four
// number forms with their status words, edited by typing over a value.
#pragma once

#include <cstdint>

#include "quillet/run_options.h"

namespace quillet {

// Runs the page from the start register until Escape. The screen must be
// open and the link's wait callback set to ScreenWaitCallback.
void RunRegisterScreen(const RunOptions& options);

// Chooses quillet's look of the shared key watch: its spinner characters, the
// spinner standing still while a key waits, "Exiting..." on Escape.
void UseQuilletKeyWatch();

// The link library calls this on every poll of a reply wait: it keeps the
// keyboard alive (Escape abandons the wait) and turns the spinner.
uint32_t ScreenWaitCallback(uint32_t user);

// Draws the module identification on row 3 (not in Modbus RTU or ASCII mode).
void ShowModuleIdentification(const RunOptions& options);

// Clears the mark that the 3X read-only message was shown.
void ResetReadOnlyNotice();

}  // namespace quillet

namespace quillet {

// Takes the terminal, draws the titles, runs the page until Escape, gives the
// terminal back and closes the link. Returns the exit status: 0 after Escape,
// 1 when there is no usable terminal.
int RunEditorSession(RunOptions& options);

}  // namespace quillet
