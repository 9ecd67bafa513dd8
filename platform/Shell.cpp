#include "platform/Shell.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "platform/Gdi.h"

namespace platform::testing {
namespace {
bool g_capture = false;
std::vector<Launch>& Recorded() {
    static std::vector<Launch> launches;
    return launches;
}
}  // namespace
void CaptureLaunches(bool capture) { g_capture = capture; }
const std::vector<Launch>& Launches() { return Recorded(); }
void ClearLaunches() { Recorded().clear(); }
}  // namespace platform::testing

namespace {

HINSTANCE Result(uintptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

}  // namespace

HINSTANCE ShellExecute(HWND, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, int) {
    if (!file || !*file) return Result(SE_ERR_FNF);
    if (platform::testing::g_capture) {
        platform::testing::Recorded().push_back(platform::testing::Launch{true, {file}});
        return Result(33);
    }
    // A local path becomes a file address; anything with a scheme is opened as it is.
    std::string uri;
    if (g_uri_peek_scheme(file)) {
        uri = file;
    } else {
        gchar* converted = g_filename_to_uri(file, nullptr, nullptr);
        if (!converted) return Result(SE_ERR_FNF);
        uri = converted;
        g_free(converted);
        if (!g_file_test(file, G_FILE_TEST_EXISTS)) return Result(SE_ERR_FNF);
    }
    GError* error = nullptr;
    bool ok = g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error);
    g_clear_error(&error);
    return Result(ok ? 42 : SE_ERR_NOASSOC);
}

UINT WinExec(LPCSTR commandLine, UINT show) {
    if (!commandLine) return 0;
    // The help viewer takes the rest of its command line as one argument.
    constexpr const char kHelpViewer[] = "hh.exe ";
    if (strncmp(commandLine, kHelpViewer, sizeof(kHelpViewer) - 1) == 0) {
        std::string target = commandLine + sizeof(kHelpViewer) - 1;
        if (platform::testing::g_capture) {
            platform::testing::Recorded().push_back(platform::testing::Launch{false, {"hh.exe", target}});
            return 33;
        }
        size_t split = target.find("::/");
        size_t slash = target.rfind('/', split);
        if (split == std::string::npos) return ERROR_FILE_NOT_FOUND_CODE;
        std::string page = target.substr(0, slash == std::string::npos ? 0 : slash + 1) + "help/" + target.substr(split + 3);
        auto result = reinterpret_cast<uintptr_t>(ShellExecute(nullptr, "open", page.c_str(), nullptr, nullptr, static_cast<int>(show)));
        return result > HINSTANCE_ERROR ? 33 : static_cast<UINT>(result);
    }
    // The command line is split into words (quotes group them) and started directly:
    // nothing in it reaches a shell.
    gint argc = 0;
    gchar** argv = nullptr;
    if (!g_shell_parse_argv(commandLine, &argc, &argv, nullptr) || argc == 0) {
        g_strfreev(argv);
        return ERROR_FILE_NOT_FOUND_CODE;
    }
    if (platform::testing::g_capture) {
        platform::testing::Launch launch;
        for (int i = 0; i < argc; ++i) launch.argv.push_back(argv[i]);
        platform::testing::Recorded().push_back(launch);
        g_strfreev(argv);
        return 33;
    }
    gchar* program = g_find_program_in_path(argv[0]);
    if (!program) {
        g_strfreev(argv);
        return ERROR_FILE_NOT_FOUND_CODE;
    }
    g_free(argv[0]);
    argv[0] = program;
    GError* error = nullptr;
    bool ok = g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, &error);
    g_clear_error(&error);
    g_strfreev(argv);
    return ok ? 33 : ERROR_FILE_NOT_FOUND_CODE;
}

namespace {

// Open keys: the path below HKEY_CLASSES_ROOT each stands for.
std::map<HKEY, std::string>& OpenKeys() {
    static std::map<HKEY, std::string> keys;
    return keys;
}

// The default value of a class key as the desktop's handlers describe it, or false.
bool ClassKeyValue(const std::string& path, std::string* value) {
    if (path == ".htm" || path == ".html") {
        GAppInfo* app = g_app_info_get_default_for_type("text/html", FALSE);
        if (!app) return false;
        const char* id = g_app_info_get_id(app);
        *value = id ? id : "";
        g_object_unref(app);
        return !value->empty();
    }
    const std::string suffix = "\\shell\\open\\command";
    if (path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
        GDesktopAppInfo* app = g_desktop_app_info_new(path.substr(0, path.size() - suffix.size()).c_str());
        if (!app) return false;
        std::string command = g_app_info_get_commandline(G_APP_INFO(app)) ? g_app_info_get_commandline(G_APP_INFO(app)) : "";
        g_object_unref(app);
        // The desktop's field codes for a file or an address become the one placeholder "%1".
        for (const char* code : {"%u", "%U", "%f", "%F"}) {
            size_t at = command.find(code);
            if (at != std::string::npos) command.replace(at, 2, "\"%1\"");
        }
        *value = command;
        return !command.empty();
    }
    return false;
}

struct Module {
    std::string path;
};

}  // namespace

LONG RegOpenKeyEx(HKEY root, LPCSTR subKey, DWORD, DWORD, HKEY* key) {
    if (!key || root != HKEY_CLASSES_ROOT || !subKey) return ERROR_FILE_NOT_FOUND;
    std::string value;
    if (!ClassKeyValue(subKey, &value)) return ERROR_FILE_NOT_FOUND;
    static uintptr_t next = 0x1000;
    *key = reinterpret_cast<HKEY>(next++);
    OpenKeys()[*key] = subKey;
    return ERROR_SUCCESS;
}

LONG RegQueryValue(HKEY key, LPCSTR subKey, LPSTR value, LONG* size) {
    auto it = OpenKeys().find(key);
    if (it == OpenKeys().end()) return ERROR_FILE_NOT_FOUND;
    std::string path = it->second + (subKey && *subKey ? std::string("\\") + subKey : "");
    std::string text;
    if (!ClassKeyValue(path, &text)) return ERROR_FILE_NOT_FOUND;
    if (!size) return ERROR_FILE_NOT_FOUND;
    LONG needed = static_cast<LONG>(text.size() + 1);
    if (value && *size >= needed) memcpy(value, text.c_str(), text.size() + 1);
    bool fits = *size >= needed;
    *size = needed;
    return value && !fits ? 234 : ERROR_SUCCESS;  // ERROR_MORE_DATA
}

LONG RegCloseKey(HKEY key) { return OpenKeys().erase(key) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND; }

UINT GetWindowsDirectory(LPSTR buffer, UINT size) {
    // Where the system's own programs would be: only their names matter to the stand-ins.
    const std::string folder = "/usr/lib/sonovert-system";
    if (buffer && size > folder.size()) memcpy(buffer, folder.c_str(), folder.size() + 1);
    return static_cast<UINT>(folder.size());
}

HINSTANCE LoadLibrary(LPCSTR path) {
    if (!path) return nullptr;
    std::string p = path;
    size_t slash = p.find_last_of("/\\");
    std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    // Only the help viewer's module is known here: its hand cursor is our picture.
    if (g_ascii_strcasecmp(name.c_str(), "winhlp32.exe") != 0) return nullptr;
    return reinterpret_cast<HINSTANCE>(new Module{p});
}

BOOL FreeLibrary(HINSTANCE module) {
    delete reinterpret_cast<Module*>(module);
    return module != nullptr;
}

HCURSOR LoadCursor(HINSTANCE, LPCSTR name) {
    return static_cast<HCURSOR>(LoadImage(nullptr, name, IMAGE_CURSOR, 0, 0, LR_DEFAULTCOLOR));
}
