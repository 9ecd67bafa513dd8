#include "platform/Files.h"

#include <glib.h>

#include <cstdlib>
#include <string>

CString GetHomeFolder() {
    // HOME first, as the shell and every desktop program honour it; then the account's.
    const char* home = getenv("HOME");
    std::string folder = home && *home == '/' ? home : g_get_home_dir();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return CString(folder);
}
