#pragma once
// Drives the real user interface from a test, in the test's own process: real pointer
// and keyboard input through the X server (XTest), the windows' real pixels, their
// accessible roles and names. GUI thread only; the toolkit must run on an X display.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Messages.h"

namespace platform::testing {

// Starts the toolkit for a test program (gtk_init) and marks this thread as the GUI thread.
void InitToolkitForTests(int* argc, char*** argv);

// Runs the loop for `ms` milliseconds, handling everything that comes.
void Pump(int ms);
// Runs the loop until `done` is true or `timeoutMs` passed; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Waits until the window is mapped on the screen and has painted itself at least once.
bool WaitUntilShown(HWND window, int timeoutMs = 5000);

// Real input through the X server. Points are in the window's client coordinates.
void MovePointer(HWND window, int x, int y);
// Moves the pointer to a point of the screen.
void MovePointerToScreen(int x, int y);
void ClickAt(HWND window, int x, int y);
void DoubleClickAt(HWND window, int x, int y);
void PressPointer();
void ReleasePointer();
// Clicks the middle of a control.
void Click(HWND control);
// Presses and releases a key given by its X keysym name ("Return", "Escape", "Tab",
// "space", "a"...), with Alt, Shift or Control held when asked.
void PressKey(const char* keysymName, bool alt = false, bool shift = false, bool control = false);
// Gives a control the keyboard focus by clicking it, then types `text` into it
// (ASCII through the keyboard; other letters as an input method would insert them).
void TypeInto(HWND control, const std::string& text);
// The user picks entry `index` of a drop-down list.
void ChooseListEntry(HWND combo, int index);
// The user drags a trackbar's thumb to `position` and lets go.
void DragTrackbarTo(HWND trackbar, int position);
// The window manager's close button (WM_DELETE_WINDOW).
void CloseFromTitleBar(HWND window);

// Where a control really is: its rectangle in the parent's client area as laid out.
RECT ControlRect(HWND control);
bool HasFocus(HWND control);
bool IsMappedOnScreen(HWND window);
bool HasWindowIcon(HWND window);
// The window asked to be kept above the others (HWND_TOPMOST).
bool IsTopmost(HWND window);
std::string WindowTitle(HWND window);
std::vector<HWND> TopLevelWindows();

// Pixels. COLORREF values (0x00BBGGRR).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, row by row
    COLORREF At(int x, int y) const;
    bool SavePng(const std::string& path) const;
    // The part inside `r` (clipped to the image).
    Image Crop(const RECT& r) const;
};
// The pixels the window's own painting produced (its background, without controls).
Image CaptureOwnPainting(HWND window);
// The client area as the toolkit draws it now, controls included.
Image RenderClient(HWND window);
// The window's pixels as the X server shows them.
Image CaptureScreen(HWND window);
// A control's pixels as the X server shows them.
Image CaptureControlOnScreen(HWND control);
// A picture's pixels from the program's resources ("bitmap", 133).
Image ResourceImage(const char* kind, int id, int size = 0);

// The pointer's shape as the X server shows it now.
struct PointerShape {
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, row by row
};
PointerShape CurrentCursor();
// How often the display's bell rang since the first call (the first call starts listening).
int BellsRung();
// The text of the tooltip on screen now, or "" when none is shown.
std::string ShownTooltip();

// Accessibility as assistive technologies see it.
std::string AccessibleRole(HWND control);  // "push button", "label", "text", "combo box", "slider"...
std::string AccessibleName(HWND control);
bool AccessiblePress(HWND control);        // the first action ("click", "press")

}  // namespace platform::testing

namespace platform::testing {

// Runs `work` from the loop as soon as it is idle (inside whatever modal loop runs then).
void RunWhenIdle(std::function<void()> work);
// Runs `work` once, from the loop, as soon as `ready` says so (checked every 10 ms, never
// blocking the loop while it waits). Returns a handle for CancelRunWhen.
unsigned RunWhen(std::function<bool()> ready, std::function<void()> work);
void CancelRunWhen(unsigned handle);
// Ends the test program with a message if it is still running after `ms` milliseconds:
// a test that waits on a question nobody answers must fail, not hang.
void ArmWatchdog(int ms, std::string what);
void DisarmWatchdog();

}  // namespace platform::testing
