#pragma once
// The application object: fixes where the settings live and runs the main window.

#include "platform/WinApp.h"

class ConverterApp : public CWinApp {
public:
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern ConverterApp theApp;
