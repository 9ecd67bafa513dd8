#pragma once
// The program's per-user settings, kept in an INI file read and written through GKeyFile.
// Imitates: the registry-backed Get/WriteProfileInt and Get/WriteProfileString —
// every call goes to the store (the file is the truth), a missing or unreadable
// value gives the caller's default, reads never create anything, writes replace the
// whole file atomically. Integers are stored as decimal text, so a string can be
// read back as an int and the other way round.
// A damaged file is read line by line for what survives; the first write after that
// keeps the original bytes as "<name>.ini.corrupt" and writes a clean file.
// Leaves out: deleting values or sections, binary values, enumeration, locking
// between processes, and keeping a symlinked file a symlink (a write replaces it).

#include <string>

class ProfileStore {
public:
    ProfileStore(std::string company, std::string appName);

    // $XDG_CONFIG_HOME/<company>/<appName>.ini, or $HOME/.config/... when
    // XDG_CONFIG_HOME is unset, empty or relative. Read afresh at every call.
    std::string Path() const;

    // defaultValue when the file, group or key is missing or the value is not a
    // decimal int (surrounding blanks allowed).
    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;
    std::string GetString(const std::string& section, const std::string& key, const std::string& defaultValue) const;

    // False when nothing was stored: a section or key name the file cannot hold
    // (empty, control characters, brackets, '=' or a leading '#' or blank in a key),
    // a value that is not UTF-8 or contains NUL, or a file system failure.
    bool WriteInt(const std::string& section, const std::string& key, int value);
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);

private:
    std::string Folder() const;

    std::string company_;
    std::string appName_;
};
