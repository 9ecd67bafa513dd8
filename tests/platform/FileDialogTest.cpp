// The common open and save dialogs, answered as the user would answer them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/CommonDialogs.h"
#include "platform/Testing.h"

using namespace platform::testing;

namespace {

const char kFilters[] = "MIDI files (*.midi;*.mid)\0*.midi;*.mid\0Any Files (*.*)\0*.*;\0";

struct Result {
    BOOL ok;
    DWORD error;
    std::string file;
    WORD offset, extension;
};

Result Ask(bool save, const std::string& answer, DWORD bufferSize, const char* defaultExtension, const char* initialText) {
    ClearShownFileDialogs();
    QueueFileDialogAnswer(answer);
    char buffer[600];
    strcpy(buffer, initialText);
    OPENFILENAME ofn;
    ofn.lpstrFilter = kFilters;
    ofn.nFilterIndex = 2;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = bufferSize;
    ofn.lpstrTitle = save ? "Select Output" : "Select a file";
    ofn.lpstrInitialDir = "/tmp";
    ofn.lpstrDefExt = defaultExtension;
    ofn.Flags = OFN_HIDEREADONLY;
    BOOL ok = save ? GetSaveFileName(&ofn) : GetOpenFileName(&ofn);
    return Result{ok, CommDlgExtendedError(), buffer, ofn.nFileOffset, ofn.nFileExtension};
}

}  // namespace

TEST(FileDialog, AnswersCancelsAndBufferLimits) {
    struct Case {
        const char* what;
        bool save;
        std::string answer;
        DWORD buffer;
        const char* defaultExtension;
        BOOL ok;
        DWORD error;
        std::string file;
        WORD offset, extension;
    };
    const Case cases[] = {
        {"open a file", false, "/tmp/My Music/song.final.mid", 260, nullptr, TRUE, 0, "/tmp/My Music/song.final.mid", 14, 25},
        {"cancel keeps the buffer", false, "", 260, nullptr, FALSE, 0, "*.*", 0, 0},
        {"save with the default extension", true, "/tmp/take1", 260, "wav", TRUE, 0, "/tmp/take1.wav", 5, 11},
        {"save a name that has an extension", true, "/tmp/take1.mp3", 260, "wav", TRUE, 0, "/tmp/take1.mp3", 5, 11},
        {"a name longer than the buffer fails", false, "/tmp/" + std::string(300, 'a'), 260, nullptr, FALSE,
         FNERR_BUFFERTOOSMALL, "*.*", 0, 0},
        {"a name that just fits", false, "/tmp/" + std::string(254, 'b'), 260, nullptr, TRUE, 0, "/tmp/" + std::string(254, 'b'), 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Result r = Ask(c.save, c.answer, c.buffer, c.defaultExtension, "*.*");
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.file, c.file);
        if (c.ok) {
            EXPECT_EQ(r.offset, c.offset);
            EXPECT_EQ(r.extension, c.extension);
        }
        ASSERT_EQ(ShownFileDialogs().size(), 1u);
        const ShownFileDialog& shown = ShownFileDialogs()[0];
        EXPECT_EQ(shown.save, c.save);
        EXPECT_EQ(shown.title, c.save ? "Select Output" : "Select a file");
        EXPECT_EQ(shown.initialFolder, "/tmp");
        EXPECT_EQ(shown.filterIndex, 2);
        ASSERT_EQ(shown.filters.size(), 2u);
        EXPECT_EQ(shown.filters[0].first, "MIDI files (*.midi;*.mid)");
        EXPECT_EQ(shown.filters[0].second, "*.midi;*.mid");
        EXPECT_EQ(shown.filters[1].second, "*.*;");
    }
}

TEST(FileDialog, AMissingInitialFolderLeavesTheChoiceToTheDialog) {
    ClearShownFileDialogs();
    QueueFileDialogAnswer("");
    char buffer[260] = "";
    OPENFILENAME ofn;
    ofn.lpstrFilter = kFilters;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = sizeof(buffer);
    ofn.lpstrInitialDir = "/no/such/folder";
    EXPECT_FALSE(GetOpenFileName(&ofn));
    ASSERT_EQ(ShownFileDialogs().size(), 1u);
    EXPECT_EQ(ShownFileDialogs()[0].initialFolder, "");
    EXPECT_EQ(ShownFileDialogs()[0].title, "Open");
}
