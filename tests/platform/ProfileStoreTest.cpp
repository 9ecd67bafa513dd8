#include "platform/ProfileStore.h"

#include <gtest/gtest.h>
#include <pwd.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

const std::string kDefault = "<default>";

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteRaw(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::vector<std::string> Names(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool ValidUtf8(const std::string& text)
{
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : 99;
        if (extra == 99 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) return false;  // cut short
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) return false;
        i += extra + 1;
    }
    return true;
}

// The file is a plain INI file any reader takes as it is: UTF-8, and every line empty,
// a comment, a [group] header or a key=value line, with a group before the first key.
bool IsCleanKeyFile(const std::string& path)
{
    const std::string bytes = ReadAll(path);
    if (!ValidUtf8(bytes) || bytes.find('\0') != std::string::npos) return false;
    std::istringstream lines(bytes);
    std::string line;
    bool inGroup = false;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3) return false;
            inGroup = true;
            continue;
        }
        size_t eq = line.find('=');
        if (!inGroup || eq == std::string::npos || eq == 0) return false;
    }
    return true;
}

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// Each test gets an empty account: its own config and home folders under a temp folder.
class ProfileStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "profilestore-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        Save("XDG_CONFIG_HOME");
        Save("HOME");
        setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
        setenv("HOME", (root_ + "/home").c_str(), 1);
    }

    void TearDown() override
    {
        for (const auto& saved : saved_) {
            if (saved.had)
                setenv(saved.name.c_str(), saved.value.c_str(), 1);
            else
                unsetenv(saved.name.c_str());
        }
        std::error_code ignored;
        fs::permissions(Folder(), fs::perms::owner_all, fs::perm_options::add, ignored);
        if (fs::exists(Ini(), ignored))
            fs::permissions(Ini(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root_, ignored);
    }

    std::string Folder() const { return root_ + "/config/Acme"; }
    std::string Ini() const { return Folder() + "/Sonovert.ini"; }
    std::string Backup() const { return Ini() + ".corrupt"; }

    std::string root_;
    ProfileStore store_{"Acme", "Sonovert"};

private:
    void Save(const char* name)
    {
        const char* value = std::getenv(name);
        saved_.push_back({name, value != nullptr, value != nullptr ? value : ""});
    }

    struct SavedVariable {
        std::string name;
        bool had;
        std::string value;
    };
    std::vector<SavedVariable> saved_;
};

TEST_F(ProfileStoreTest, PathFollowsTheEnvironmentAtEveryCall)
{
    const char* kUnset = nullptr;
    const struct {
        const char* name;
        const char* xdg;
        std::string expected;
    } cases[] = {
        {"absolute XDG_CONFIG_HOME", "/srv/cfg", "/srv/cfg/Acme/Sonovert.ini"},
        {"trailing slash", "/srv/cfg/", "/srv/cfg/Acme/Sonovert.ini"},
        {"unset", kUnset, root_ + "/home/.config/Acme/Sonovert.ini"},
        {"empty", "", root_ + "/home/.config/Acme/Sonovert.ini"},
        {"relative", "relative/cfg", root_ + "/home/.config/Acme/Sonovert.ini"},
        {"back to absolute", "/other", "/other/Acme/Sonovert.ini"},
    };
    // One store for all cases: nothing may be cached between calls.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.xdg == kUnset)
            unsetenv("XDG_CONFIG_HOME");
        else
            setenv("XDG_CONFIG_HOME", c.xdg, 1);
        EXPECT_EQ(store_.Path(), c.expected);
    }
}

TEST_F(ProfileStoreTest, PathWithoutHomeOrCompany)
{
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_EQ(store_.Path(), std::string(getpwuid(getuid())->pw_dir) + "/.config/Acme/Sonovert.ini");
    setenv("XDG_CONFIG_HOME", "/srv/cfg", 1);
    EXPECT_EQ(ProfileStore("", "Sonovert").Path(), "/srv/cfg/Sonovert.ini");
}

TEST_F(ProfileStoreTest, CleanAccountGivesDefaultsAndCreatesNothing)
{
    EXPECT_EQ(store_.GetInt("Settings", "Volume", 75), 75);
    EXPECT_EQ(store_.GetInt("Settings", "Volume", -3), -3);
    EXPECT_EQ(store_.GetString("Settings", "Last File", "none"), "none");
    EXPECT_EQ(store_.GetString("Settings", "Last File", ""), "");
    EXPECT_FALSE(fs::exists(root_ + "/config"));
    EXPECT_FALSE(fs::exists(root_ + "/home"));
}

TEST_F(ProfileStoreTest, MissingGroupOrKeyGivesDefault)
{
    ASSERT_TRUE(store_.WriteInt("Settings", "Volume", 5));
    EXPECT_EQ(store_.GetInt("Other", "Volume", 9), 9);
    EXPECT_EQ(store_.GetInt("Settings", "Balance", 9), 9);
    EXPECT_EQ(store_.GetString("Settings", "volume", kDefault), kDefault) << "keys are case-sensitive";
}

TEST_F(ProfileStoreTest, IntegersRoundTripAsDecimal)
{
    const int cases[] = {0, 1, -1, 42, -42, 1000000, INT_MAX, INT_MIN};
    for (int value : cases) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(store_.WriteInt("Settings", "Number", value));
        EXPECT_EQ(store_.GetInt("Settings", "Number", 12345), value);
        EXPECT_EQ(store_.GetString("Settings", "Number", kDefault), std::to_string(value));
        EXPECT_NE(ReadAll(Ini()).find("Number=" + std::to_string(value) + "\n"), std::string::npos);
    }
}

TEST_F(ProfileStoreTest, IntegersAreReadStrictly)
{
    const struct {
        const char* stored;
        int expected;
    } cases[] = {
        {"12", 12},
        {"-7", -7},
        {"  8  ", 8},
        {"-2147483648", INT_MIN},
        {"2147483647", INT_MAX},
        {"2147483648", -1},
        {"-2147483649", -1},
        {"", -1},
        {"abc", -1},
        {"12abc", -1},
        {"0x10", -1},
        {"1.5", -1},
        {"- 3", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        ASSERT_TRUE(store_.WriteString("Settings", "Number", c.stored));
        EXPECT_EQ(store_.GetInt("Settings", "Number", -1), c.expected);
    }
}

TEST_F(ProfileStoreTest, StringsRoundTrip)
{
    const struct {
        const char* name;
        std::string value;
    } cases[] = {
        {"empty", ""},
        {"plain", "Sonovert"},
        {"inner spaces", "a  b   c"},
        {"leading spaces", "   indented"},
        {"trailing spaces", "trailing   "},
        {"only spaces", "    "},
        {"newline", "line one\nline two\n"},
        {"carriage return", "dos\r\nline"},
        {"tab", "a\tb\t"},
        {"backslashes", "C:\\Music\\new\\track.wav"},
        {"escape lookalikes", "\\n \\s \\t \\\\"},
        {"non-ASCII", "Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80"},
        {"comment marker", "# not a comment"},
        {"group lookalike", "[NotAGroup]"},
        {"equals signs", "a=b=c"},
        {"semicolon and quotes", "; \"quoted\" 'single'"},
        {"control character", "bell\x07"},
        {"very long line", std::string(1 << 20, 'x') + "end"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(store_.WriteString("Settings", "Text", c.value));
        EXPECT_EQ(store_.GetString("Settings", "Text", kDefault), c.value);
        EXPECT_TRUE(IsCleanKeyFile(Ini()));
    }
}

TEST_F(ProfileStoreTest, NamesAndValuesTheFileCannotHoldAreRefused)
{
    const struct {
        const char* name;
        std::string section;
        std::string key;
        std::string value;
    } cases[] = {
        {"empty section", "", "Key", "v"},
        {"bracket in section", "Set]tings", "Key", "v"},
        {"newline in section", "Set\ntings", "Key", "v"},
        {"empty key", "Settings", "", "v"},
        {"equals in key", "Settings", "a=b", "v"},
        {"bracket in key", "Settings", "Key[de]", "v"},
        {"newline in key", "Settings", "a\nb", "v"},
        {"comment key", "Settings", "#Key", "v"},
        {"leading blank in key", "Settings", " Key", "v"},
        {"trailing blank in key", "Settings", "Key ", "v"},
        {"key not UTF-8", "Settings", "K\xE9y", "v"},
        {"value not UTF-8", "Settings", "Key", "caf\xE9"},
        {"NUL in value", "Settings", "Key", std::string("a\0b", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(store_.WriteString(c.section, c.key, c.value));
        EXPECT_EQ(store_.GetString(c.section, c.key, kDefault), kDefault);
        EXPECT_FALSE(fs::exists(Ini()));
    }
}

TEST_F(ProfileStoreTest, WriteKeepsOtherKeysGroupsAndComments)
{
    WriteRaw(Ini(), "# kept comment\n[Window]\nWidth=640\n\n[Settings]\nVolume=3\nName=old\n");
    ASSERT_TRUE(store_.WriteInt("Settings", "Volume", 9));
    ASSERT_TRUE(store_.WriteString("Recent", "File1", "/tmp/a.wav"));
    EXPECT_EQ(store_.GetInt("Window", "Width", 0), 640);
    EXPECT_EQ(store_.GetInt("Settings", "Volume", 0), 9);
    EXPECT_EQ(store_.GetString("Settings", "Name", kDefault), "old");
    EXPECT_EQ(store_.GetString("Recent", "File1", kDefault), "/tmp/a.wav");
    EXPECT_NE(ReadAll(Ini()).find("# kept comment"), std::string::npos);
    EXPECT_FALSE(fs::exists(Backup())) << "a clean file is not backed up";
}

TEST_F(ProfileStoreTest, GetsSeeChangesMadeBehindTheStoresBack)
{
    ASSERT_TRUE(store_.WriteInt("Settings", "Volume", 1));
    WriteRaw(Ini(), "[Settings]\nVolume=2\n");
    EXPECT_EQ(store_.GetInt("Settings", "Volume", 0), 2);
    fs::remove(Ini());
    EXPECT_EQ(store_.GetInt("Settings", "Volume", 0), 0);
}

TEST_F(ProfileStoreTest, AtomicWriteLeavesNoTempFilesAndPrivateModes)
{
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(store_.WriteInt("Settings", "Key" + std::to_string(i % 5), i));
    EXPECT_EQ(Names(Folder()), std::vector<std::string>{"Sonovert.ini"});
    EXPECT_EQ(ModeOf(Ini()), 0600u);
    EXPECT_EQ(ModeOf(Folder()), 0700u);
    EXPECT_EQ(store_.GetInt("Settings", "Key4", -1), 19);
}

TEST_F(ProfileStoreTest, WritesFromManyThreadsAreAllKept)
{
    constexpr int kThreads = 4;
    constexpr int kEach = 15;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([this, t] {
            for (int i = 0; i < kEach; ++i)
                EXPECT_TRUE(store_.WriteInt("T" + std::to_string(t), "K" + std::to_string(i), t * 100 + i));
        });
    for (auto& t : threads)
        t.join();
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(store_.GetInt("T" + std::to_string(t), "K" + std::to_string(i), -1), t * 100 + i);
}

// Deterministic bytes that are not text.
std::string Garbage(size_t size)
{
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<char>(0x80 | (state >> 16));
    }
    return bytes;
}

TEST_F(ProfileStoreTest, DamagedFileKeepsWhatCanBeRead)
{
    struct Value {
        const char* group;
        const char* key;
        const char* value;
    };
    const struct {
        const char* name;
        std::string content;
        std::vector<Value> kept;
        std::vector<Value> lost; // value unused
    } cases[] = {
        {"binary header",
         "\x89PNG\r\n\x1A\n\0\0\n[Settings]\nVolume=7\n"s,
         {{"Settings", "Volume", "7"}},
         {}},
        {"junk line between keys",
         "[Settings]\nVolume=7\nthis is not a pair\nName=abc\n",
         {{"Settings", "Volume", "7"}, {"Settings", "Name", "abc"}},
         {}},
        {"key before any group",
         "Orphan=1\n[Settings]\nVolume=7\n",
         {{"Settings", "Volume", "7"}},
         {{"Settings", "Orphan", ""}}},
        {"value not UTF-8",
         "[Settings]\nName=caf\xE9\nVolume=7\n",
         {{"Settings", "Volume", "7"}},
         {{"Settings", "Name", ""}}},
        {"NUL inside a value",
         "[Settings]\nName=ab\0cd\nVolume=7\n"s,
         {{"Settings", "Volume", "7"}},
         {{"Settings", "Name", ""}}},
        {"broken header takes its keys along",
         "[Settings]\nVolume=7\n[Bro]ken\nName=x\n[Other]\nWidth=3\n",
         {{"Settings", "Volume", "7"}, {"Other", "Width", "3"}},
         {{"Settings", "Name", ""}}},
        {"header not UTF-8",
         "[Settings]\nVolume=7\n[Caf\xE9]\nName=x\n",
         {{"Settings", "Volume", "7"}},
         {{"Settings", "Name", ""}}},
        {"empty and control-character keys",
         "[Settings]\n=5\n \t= 6\nK\x01=1\nVolume=7\n",
         {{"Settings", "Volume", "7"}},
         {{"Settings", "K\x01", ""}}},
        {"cut off inside a character",
         "[Settings]\nVolume=7\nName=caf\xC3",
         {{"Settings", "Volume", "7"}},
         {{"Settings", "Name", ""}}},
        {"very long garbage line",
         "[Settings]\nVolume=7\n" + Garbage(1 << 20) + "\nName=ok\n",
         {{"Settings", "Volume", "7"}, {"Settings", "Name", "ok"}},
         {}},
        {"nothing but garbage", Garbage(4096), {}, {{"Settings", "Volume", ""}}},
        {"escape the value cannot use", "[Settings]\nPath=C:\\foo\n[S\n", {}, {{"Settings", "Path", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Folder());
        WriteRaw(Ini(), c.content);

        for (const auto& v : c.kept)
            EXPECT_EQ(store_.GetString(v.group, v.key, kDefault), v.value) << v.key;
        for (const auto& v : c.lost)
            EXPECT_EQ(store_.GetString(v.group, v.key, kDefault), kDefault) << v.key;
        EXPECT_EQ(ReadAll(Ini()), c.content) << "reading changes nothing";
        EXPECT_FALSE(fs::exists(Backup())) << "reading backs nothing up";

        ASSERT_TRUE(store_.WriteInt("Settings", "Added", 1));
        EXPECT_EQ(ReadAll(Backup()), c.content) << "the original bytes are kept";
        EXPECT_TRUE(IsCleanKeyFile(Ini()));
        EXPECT_EQ(Names(Folder()), (std::vector<std::string>{"Sonovert.ini", "Sonovert.ini.corrupt"}));
        EXPECT_EQ(store_.GetInt("Settings", "Added", 0), 1);
        for (const auto& v : c.kept)
            EXPECT_EQ(store_.GetString(v.group, v.key, kDefault), v.value) << v.key << " after the write";
        for (const auto& v : c.lost)
            EXPECT_EQ(store_.GetString(v.group, v.key, kDefault), kDefault) << v.key << " after the write";

        ASSERT_TRUE(store_.WriteInt("Settings", "Added", 2));
        EXPECT_EQ(ReadAll(Backup()), c.content) << "a clean file does not replace the backup";
    }
}

TEST_F(ProfileStoreTest, NewDamageReplacesAnOlderBackup)
{
    WriteRaw(Backup(), "older backup");
    const std::string damaged = "[Settings]\nVolume=4\nnot a pair\n";
    WriteRaw(Ini(), damaged);
    ASSERT_TRUE(store_.WriteInt("Settings", "Volume", 5));
    EXPECT_EQ(ReadAll(Backup()), damaged);
    EXPECT_EQ(store_.GetInt("Settings", "Volume", 0), 5);
}

TEST_F(ProfileStoreTest, HarmlessFilesAreNotTreatedAsDamage)
{
    const struct {
        const char* name;
        std::string content;
        int volume;
    } cases[] = {
        {"empty file", "", -1},
        {"blank lines", "\n  \n\t\n", -1},
        {"comments only", "# one\n# two\n", -1},
        {"Windows line ends", "[Settings]\r\nVolume=7\r\n", 7},
        {"blanks around", "  [Settings]  \n  Volume = 7  \n", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Folder());
        WriteRaw(Ini(), c.content);
        EXPECT_EQ(store_.GetInt("Settings", "Volume", -1), c.volume);
        ASSERT_TRUE(store_.WriteInt("Settings", "Added", 1));
        EXPECT_FALSE(fs::exists(Backup()));
        EXPECT_EQ(store_.GetInt("Settings", "Volume", -1), c.volume);
        EXPECT_EQ(store_.GetInt("Settings", "Added", 0), 1);
    }
}

TEST_F(ProfileStoreTest, PathThatIsNotAFileIsLeftAlone)
{
    const struct {
        const char* name;
        void (*make)(const std::string& path);
    } cases[] = {
        {"directory", [](const std::string& path) { fs::create_directories(path + "/inside"); }},
        // Opening a FIFO for reading would block until a writer comes; the store must not.
        {"FIFO", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Folder());
        fs::create_directories(Folder());
        c.make(Ini());
        EXPECT_EQ(store_.GetInt("Settings", "Volume", 3), 3);
        EXPECT_EQ(store_.GetString("Settings", "Name", kDefault), kDefault);
        EXPECT_FALSE(store_.WriteInt("Settings", "Volume", 4));
        EXPECT_TRUE(fs::exists(Ini()) && !fs::is_regular_file(Ini())) << "still there, untouched";
        EXPECT_FALSE(fs::exists(Backup()));
    }
}

TEST_F(ProfileStoreTest, FolderThatCannotBeCreatedFailsTheWrite)
{
    WriteRaw(root_ + "/config/Acme", "a file where the folder should be");
    EXPECT_EQ(store_.GetInt("Settings", "Volume", 3), 3);
    EXPECT_FALSE(store_.WriteInt("Settings", "Volume", 4));
    EXPECT_EQ(ReadAll(root_ + "/config/Acme"), "a file where the folder should be");
}

TEST_F(ProfileStoreTest, UnreadableFileIsMovedAsideOnWrite)
{
    // Permission bits do not stop root from reading, so this case needs an ordinary user.
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: chmod 000 does not make a file unreadable";
    const std::string original = "[Settings]\nVolume=7\n";
    WriteRaw(Ini(), original);
    fs::permissions(Ini(), fs::perms::none);
    EXPECT_EQ(store_.GetInt("Settings", "Volume", 3), 3);
    ASSERT_TRUE(store_.WriteInt("Settings", "Added", 1));
    EXPECT_EQ(store_.GetInt("Settings", "Added", 0), 1);
    fs::permissions(Backup(), fs::perms::owner_read);
    EXPECT_EQ(ReadAll(Backup()), original);
}

} // namespace
