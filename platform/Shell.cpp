#include "platform/Shell.h"

#include <gio/gio.h>

#include <string>

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

UINT WinExec(LPCSTR commandLine, UINT) {
    if (!commandLine) return 0;
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
