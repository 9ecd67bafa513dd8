#pragma once
// CWinApp: the program's one application object and its settings.
// Imitates: InitInstance deciding whether a message loop runs (FALSE ends the process),
// the main window pointer, the module name (the executable's file name without its
// extension) as the application name, SetRegistryKey choosing where the four profile
// functions keep the settings (here an INI file per company and program, see ProfileStore),
// missing settings giving the caller's default.
// Leaves out: the registry itself, document templates, idle processing.

#include <memory>

#include "platform/Wnd.h"

class ProfileStore;

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }
    // The message loop of a program that keeps running after InitInstance.
    virtual int Run();

    void SetRegistryKey(LPCSTR company);
    UINT GetProfileInt(LPCSTR section, LPCSTR entry, int defaultValue);
    CString GetProfileString(LPCSTR section, LPCSTR entry, LPCSTR defaultValue = nullptr);
    BOOL WriteProfileInt(LPCSTR section, LPCSTR entry, int value);
    BOOL WriteProfileString(LPCSTR section, LPCSTR entry, LPCSTR value);
    // Where the profile functions keep the settings; empty before SetRegistryKey.
    std::string ProfilePath() const;

    void OnHelp();

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    CString m_pszAppName;       // the module's name without extension
    CString m_pszExeName;
    CString m_pszHelpFilePath;  // the module's path with the help extension
    CString m_pszRegistryKey;

    DECLARE_MESSAGE_MAP()

private:
    std::unique_ptr<ProfileStore> m_profile;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
// The full path of the running executable and its folder with a trailing '/'.
CString AfxGetModulePath();

// Starts the toolkit and runs the application object; the program's main() calls it.
int AfxWinMain(int argc, char** argv);

constexpr UINT ID_HELP = 0xE146;
