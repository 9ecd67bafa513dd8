#pragma once
// What tests use to answer the program's modal questions and to see what it showed.
// The program itself never calls these; without queued answers every box and file
// dialog waits for the user as usual.

#include <string>
#include <vector>

#include "platform/Messages.h"

namespace platform::testing {

struct ShownBox {
    HWND owner = nullptr;
    std::string caption;
    std::string text;
    UINT type = 0;
};

// The next message box shown is answered with `answer` (IDOK, IDCANCEL...) once it has
// been on screen for `delayMs`; answers are used in order.
void QueueMessageBoxAnswer(int answer, int delayMs = 30);
// Every message box shown since the last clear, in order.
const std::vector<ShownBox>& ShownBoxes();
void ClearShownBoxes();
// The next file dialog is answered with `path` (empty: Cancel) once it is on screen.
void QueueFileDialogAnswer(const std::string& path);

struct ShownFileDialog {
    HWND owner = nullptr;
    bool save = false;
    std::string title;
    std::string initialFolder;                         // the folder it opened in ("" = its own choice)
    std::vector<std::pair<std::string, std::string>> filters;  // description, patterns
    int filterIndex = 0;                               // 1-based, as given
};
const std::vector<ShownFileDialog>& ShownFileDialogs();

// The next popup menu is answered by choosing the item with this command (0: dismissed).
void QueueMenuAnswer(UINT command);
struct ShownMenuItem {
    UINT id = 0;
    std::string text;
    bool grayed = false;
    bool separator = false;
};
// The items of every popup menu shown since the last clear, one list per menu.
const std::vector<std::vector<ShownMenuItem>>& ShownMenus();
void ClearShownMenus();

// Drops answers nobody used (a test ending early must not leak them into the next).
void ClearQueuedAnswers();
void ClearShownFileDialogs();

}  // namespace platform::testing
