#pragma once
// Dialogs built from templates, and the dialog manager's keyboard rules.
// Imitates: controls created in template order (which is the tab order) at positions in
// dialog units of the dialog font, WM_SETFONT and WM_INITDIALOG before the dialog shows,
// focus on the first tab stop when WM_INITDIALOG returns TRUE, Enter pressing the focused
// push button or else sending IDOK (the default button's id), Esc sending IDCANCEL,
// WM_CLOSE sending IDCANCEL, the title bar's close sending SC_CLOSE, Alt+Space opening the
// system menu, EndDialog ending the modal loop.
// Leaves out: modeless dialog message routing (IsDialogMessage), dialog templates in
// memory built by the program, DS_* styles other than the modal frame.

#include <functional>

#include "platform/Messages.h"

BOOL EndDialog(HWND dialog, INT_PTR result);

namespace platform {

// Builds the dialog window of template `templateId`. `attach` runs as soon as the window
// exists, before its controls are made (the framework hooks its object in there).
// Returns null when there is no such template.
HWND CreateDialogFromTemplate(int templateId, HWND owner, const std::function<void(HWND)>& attach);

// Sends WM_INITDIALOG, shows the dialog and runs its modal loop until EndDialog or a quit
// message; returns the EndDialog result, or -1 when a quit message ended it.
INT_PTR RunDialogModal(HWND dialog);

// True once EndDialog was called for a dialog whose modal loop has not returned yet, or
// once the dialog is gone.
bool DialogEnded(HWND dialog);

// What a dialog does with a message nobody else took.
LRESULT DefDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace platform
