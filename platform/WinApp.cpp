#include "platform/WinApp.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "platform/MessageLoop.h"
#include "platform/ProfileStore.h"

namespace {

CWinApp* g_app = nullptr;

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0) return "sonovert";
    buffer[n] = '\0';
    return buffer;
}

}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp() {
    g_app = this;
    m_hInstance = reinterpret_cast<HINSTANCE>(this);
    std::string path = ExecutablePath();
    std::string file = path.substr(path.rfind('/') + 1);
    std::string name = file.substr(0, file.rfind('.') == std::string::npos || file.rfind('.') == 0 ? file.size() : file.rfind('.'));
    m_pszExeName = name;
    m_pszAppName = name;
    std::string base = path.substr(0, path.size() - file.size()) + name;
    m_pszHelpFilePath = base + ".hlp";
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

int CWinApp::Run() {
    platform::RunModalLoop([]() { return false; });
    return ExitInstance();
}

void CWinApp::SetRegistryKey(LPCSTR company) {
    m_pszRegistryKey = company ? company : "";
    m_profile = std::make_unique<ProfileStore>(m_pszRegistryKey.str(), m_pszAppName.str());
}

UINT CWinApp::GetProfileInt(LPCSTR section, LPCSTR entry, int defaultValue) {
    if (!m_profile || !section || !entry) return static_cast<UINT>(defaultValue);
    return static_cast<UINT>(m_profile->GetInt(section, entry, defaultValue));
}

CString CWinApp::GetProfileString(LPCSTR section, LPCSTR entry, LPCSTR defaultValue) {
    std::string fallback = defaultValue ? defaultValue : "";
    if (!m_profile || !section || !entry) return CString(fallback);
    return CString(m_profile->GetString(section, entry, fallback));
}

BOOL CWinApp::WriteProfileInt(LPCSTR section, LPCSTR entry, int value) {
    return m_profile && section && entry && m_profile->WriteInt(section, entry, value);
}

BOOL CWinApp::WriteProfileString(LPCSTR section, LPCSTR entry, LPCSTR value) {
    return m_profile && section && entry && m_profile->WriteString(section, entry, value ? value : "");
}

std::string CWinApp::ProfilePath() const { return m_profile ? m_profile->Path() : std::string(); }

void CWinApp::OnHelp() {
    // FIXME: the application-wide help command opens nothing yet; the main window's Help
    // button has its own handler.
}

CWinApp* AfxGetApp() { return g_app; }
CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }
HINSTANCE AfxGetInstanceHandle() { return g_app ? g_app->m_hInstance : nullptr; }
CString AfxGetModulePath() { return CString(ExecutablePath()); }

int AfxWinMain(int argc, char** argv) {
    gtk_init(&argc, &argv);
    platform::MarkGuiThread();
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
}
