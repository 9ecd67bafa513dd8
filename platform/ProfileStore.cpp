// The settings store over GKeyFile. What is imitated and left out is listed in ProfileStore.h.

#include "platform/ProfileStore.h"

#include <glib.h>

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>

namespace {

template <auto Free>
struct GFree {
    template <class T>
    void operator()(T* p) const
    {
        Free(p);
    }
};
using KeyFilePtr = std::unique_ptr<GKeyFile, GFree<g_key_file_free>>;
using GCharPtr = std::unique_ptr<gchar, GFree<g_free>>;
using ErrorPtr = std::unique_ptr<GError, GFree<g_error_free>>;

constexpr char kBackupSuffix[] = ".corrupt";

bool IsUtf8(std::string_view text) // NUL counts as invalid
{
    return g_utf8_validate_len(text.data(), text.size(), nullptr);
}

bool HasControl(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && g_ascii_isspace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && g_ascii_isspace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Names GKeyFile writes and reads back unchanged.
bool ValidSection(std::string_view name)
{
    return !name.empty() && IsUtf8(name) && !HasControl(name) && name.find_first_of("[]") == std::string_view::npos;
}

bool ValidKey(std::string_view name)
{
    return !name.empty() && IsUtf8(name) && !HasControl(name) && name.find_first_of("[]=") == std::string_view::npos &&
           name.front() != '#' && TrimBlanks(name).size() == name.size();
}

bool Parses(GKeyFile* keys, std::string_view text, GKeyFileFlags flags)
{
    return g_key_file_load_from_data(keys, text.data(), text.size(), flags, nullptr);
}

// Keeps the lines of a damaged file that GKeyFile can read and that the program
// could have written: comments, blank lines, valid [group] headers, and key=value
// lines under a valid header. Keys under a dropped header are dropped with it so
// they cannot move into the group above.
std::string Salvage(std::string_view data)
{
    KeyFilePtr probe(g_key_file_new());
    std::string kept;
    bool inGroup = false;
    while (!data.empty()) {
        const size_t end = data.find('\n');
        const std::string_view line = data.substr(0, end);
        data.remove_prefix(end == std::string_view::npos ? data.size() : end + 1);

        const std::string_view body = TrimBlanks(line);
        bool keep = false;
        if (!body.empty() && body.front() == '[') {
            inGroup = IsUtf8(line) && Parses(probe.get(), line, G_KEY_FILE_NONE);
            keep = inGroup;
        } else if (!IsUtf8(line)) {
            keep = false;
        } else if (body.empty() || body.front() == '#') {
            keep = true;
        } else if (inGroup && body.find('=') != std::string_view::npos) {
            const std::string_view key = TrimBlanks(body.substr(0, body.find('=')));
            keep = ValidKey(key) && Parses(probe.get(), "[g]\n" + std::string(line), G_KEY_FILE_NONE);
        }
        if (keep) {
            kept.append(line);
            kept.push_back('\n');
        }
    }
    return kept;
}

enum class FileState {
    Missing,    // nothing there yet
    Clean,      // parsed as it is
    Salvaged,   // damaged; keys holds what survived
    Unreadable, // a regular file we could not read
    NotAFile,   // a directory, FIFO or device: never opened, never replaced
};

struct Snapshot {
    FileState state = FileState::Missing;
    KeyFilePtr keys{g_key_file_new()};
    std::string original; // the file's bytes when it needed salvaging
};

Snapshot Load(const std::string& path)
{
    Snapshot snap;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        snap.state = (errno == ENOENT || errno == ENOTDIR) ? FileState::Missing : FileState::Unreadable;
        return snap;
    }
    // Opening a FIFO would block, so only regular files are read.
    if (!S_ISREG(st.st_mode)) {
        snap.state = FileState::NotAFile;
        return snap;
    }
    gchar* raw = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(path.c_str(), &raw, &length, nullptr)) {
        snap.state = FileState::Unreadable;
        return snap;
    }
    const GCharPtr data(raw);
    const std::string_view bytes(data.get(), length);
    const GKeyFileFlags flags = G_KEY_FILE_KEEP_COMMENTS;
    // GKeyFile accepts non-UTF-8 values and stray NULs; treat them as damage too so
    // that a rewrite never copies them on.
    if (IsUtf8(bytes) && Parses(snap.keys.get(), bytes, flags)) {
        snap.state = FileState::Clean;
        return snap;
    }
    snap.state = FileState::Salvaged;
    snap.original.assign(bytes);
    if (!Parses(snap.keys.get(), Salvage(bytes), flags))
        snap.keys.reset(g_key_file_new());
    return snap;
}

bool WriteFile(const std::string& path, std::string_view data)
{
    // Temp file in the same folder, fsync, rename: readers see the old or the new file.
    return g_file_set_contents_full(path.c_str(), data.data(), static_cast<gssize>(data.size()),
                                    G_FILE_SET_CONTENTS_CONSISTENT, 0600, nullptr);
}

// Writes from two threads must not lose each other's read-modify-write.
std::mutex& WriteLock()
{
    static std::mutex lock;
    return lock;
}

std::string ConfigHome()
{
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] != '\0' && g_path_is_absolute(xdg)) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0')
            home = g_get_home_dir();
        base = std::string(home) + "/.config";
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base;
}

} // namespace

ProfileStore::ProfileStore(std::string company, std::string appName)
    : company_(std::move(company)), appName_(std::move(appName))
{
}

std::string ProfileStore::Folder() const
{
    std::string folder = ConfigHome();
    if (!company_.empty())
        folder += (folder == "/" ? "" : "/") + company_;
    return folder;
}

std::string ProfileStore::Path() const
{
    const std::string folder = Folder();
    return folder + (folder == "/" ? "" : "/") + appName_ + ".ini";
}

int ProfileStore::GetInt(const std::string& section, const std::string& key, int defaultValue) const
{
    const std::string text = GetString(section, key, std::string());
    const std::string digits(TrimBlanks(text));
    gint64 value = 0;
    if (digits.empty() || !g_ascii_string_to_signed(digits.c_str(), 10, INT_MIN, INT_MAX, &value, nullptr))
        return defaultValue;
    return static_cast<int>(value);
}

std::string ProfileStore::GetString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) const
{
    if (!ValidSection(section) || !ValidKey(key))
        return defaultValue;
    const Snapshot snap = Load(Path());
    GError* rawError = nullptr;
    const GCharPtr value(g_key_file_get_string(snap.keys.get(), section.c_str(), key.c_str(), &rawError));
    // A bad escape sequence still yields a best-effort string, but with an error.
    const ErrorPtr error(rawError);
    return value && !error ? std::string(value.get()) : defaultValue;
}

bool ProfileStore::WriteInt(const std::string& section, const std::string& key, int value)
{
    return WriteString(section, key, std::to_string(value));
}

bool ProfileStore::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    if (!ValidSection(section) || !ValidKey(key) || !IsUtf8(value))
        return false;
    const std::lock_guard<std::mutex> hold(WriteLock());
    const std::string path = Path();
    const std::string backup = path + kBackupSuffix;
    Snapshot snap = Load(path);
    if (snap.state == FileState::NotAFile)
        return false;
    // What we could not read is moved aside rather than overwritten.
    if (snap.state == FileState::Unreadable && std::rename(path.c_str(), backup.c_str()) != 0)
        return false;

    g_key_file_set_string(snap.keys.get(), section.c_str(), key.c_str(), value.c_str());
    gsize length = 0;
    const GCharPtr data(g_key_file_to_data(snap.keys.get(), &length, nullptr));
    if (!data)
        return false;
    if (g_mkdir_with_parents(Folder().c_str(), 0700) != 0)
        return false;
    if (snap.state == FileState::Salvaged && !WriteFile(backup, snap.original))
        return false;
    return WriteFile(path, std::string_view(data.get(), length));
}
