// About, Homepage, Help and the input-device hint.
#include "mainwindow/AboutDialog.h"
#include "mainwindow/ConverterDialog.h"
#include "mainwindow/InputHintDialog.h"
#include "platform/Shell.h"
#include "platform/WinApp.h"
#include "res/ResourceIds.h"

void ConverterDialog::OnAbout() {
    AboutDialog about;
    about.DoModal();
}

void ConverterDialog::OnHomepage() { ::ShellExecute(nullptr, "open", kMakerIndexPage, nullptr, nullptr, SW_SHOWNORMAL); }

void ConverterDialog::OnHelpButton() {
    // The help lies beside the program: "<its folder>help.chm::/Introduction.htm" names the
    // page, which the help viewer's stand-in opens from the folder's help/ pages.
    CString command = "hh.exe " + FolderOf(AfxGetApp()->m_pszHelpFilePath) + "help.chm::/Introduction.htm";
    ::WinExec(command, SW_SHOW);
}

void ConverterDialog::ShowInputHint() {
    InputHintDialog hint;
    if (hint.DoModal() == IDOK) m_bNoHint = hint.m_bOnlyOnce;
}
