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

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

DWORD GetTempPath(DWORD size, LPSTR buffer) {
    std::string folder = g_get_tmp_dir();
    if (folder.empty() || folder.back() != '/') folder += '/';
    if (buffer && size > folder.size()) memcpy(buffer, folder.c_str(), folder.size() + 1);
    return static_cast<DWORD>(folder.size());
}

BOOL CanOpenForReading(LPCSTR path) {
    if (!path || !*path) return FALSE;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return FALSE;
    close(fd);
    return TRUE;
}

BOOL DeleteFile(LPCSTR path) { return path && unlink(path) == 0; }
