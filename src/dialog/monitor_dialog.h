#pragma once
// The monitor window: a live table of the apartment's timers, rebuilt once a
// second, filtered by gDialogHwnd (0 shows every window group).
namespace zx {

extern const wchar_t kMonitorCaption[];  // "Orvanta Timer Service Manager"

// Opens a new monitor window, modeless and without an owner. Its load step
// (columns, first fill of the list with the current gDialogHwnd) has run
// when this returns; a failure there closes the window again and is thrown
// on (Error or ComFailure). The window keeps itself alive until it is
// closed by its OK button or its frame.
void ShowMonitorDialog();

// Closes the calling thread's monitor windows, releasing their dialogs. For
// a thread whose apartment ends (the windows show its registry) and for a
// thread that is ending (the system would destroy its windows without
// sending them anything, and the dialogs would never end).
void CloseThreadMonitorWindows();

}  // namespace zx
