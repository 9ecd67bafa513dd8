#include "app/ConverterApp.h"

#include "mainwindow/ConverterDialog.h"

ConverterApp theApp;

BEGIN_MESSAGE_MAP(ConverterApp, CWinApp)
ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

BOOL ConverterApp::InitInstance() {
    SetRegistryKey("VarnoltStudio");
    {
        ConverterDialog dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
    }
    // No message loop of our own: the program ends when its window does.
    return FALSE;
}
