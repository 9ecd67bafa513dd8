// Replays the fuzzer's corpus through loading and a short render, so that inputs that once
// broke the loader keep being tried by every build, with the ordinary compiler.
// Files named ok-* must load, files named bad-* must be refused; the rest (crashers the
// fuzzer found, and what it learned from them) may go either way but must not crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "media/midi/MidiRenderer.h"
#include "media/midi/MidiSong.h"

namespace {

constexpr int kRate = 44100;

std::vector<std::filesystem::path> CorpusFiles() {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(SONOVERT_MIDI_CORPUS_DIR, error))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

TEST(MidiCorpus, EveryFileLoadsOrIsRefusedAndRendersItsFirstSecond) {
    std::vector<std::filesystem::path> files = CorpusFiles();
    ASSERT_GE(files.size(), 8u) << "corpus missing at " << SONOVERT_MIDI_CORPUS_DIR;
    size_t loaded = 0;
    for (const std::filesystem::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string name = file.filename().string();
        std::string error;
        std::unique_ptr<media::MidiSong> song = media::MidiSong::LoadFromMemory(bytes.data(), bytes.size(), &error);
        if (StartsWith(name, "ok-")) {
            EXPECT_TRUE(song) << name << ": " << error;
        }
        if (StartsWith(name, "bad-")) {
            EXPECT_FALSE(song) << name;
        }
        if (!song) {
            EXPECT_FALSE(error.empty()) << name;
            continue;
        }
        ++loaded;
        EXPECT_GE(song->LengthSeconds(), 0.0) << name;
        std::unique_ptr<media::MidiRenderer> renderer =
            media::MidiRenderer::Create(*song, kRate, media::MidiRenderer::kDefaultSoundFont, &error);
        ASSERT_TRUE(renderer) << error;
        std::vector<int16_t> block(2 * 4410);
        size_t frames = 0;
        for (int i = 0; i < 10 && !renderer->Finished(); ++i) frames += renderer->Render(block.data(), 4410);
        EXPECT_EQ(renderer->FramePosition(), frames) << name;
        EXPECT_LE(frames, size_t(kRate)) << name;
    }
    EXPECT_GT(loaded, 0u);
}

}  // namespace
