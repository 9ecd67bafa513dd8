// Synthesis with the real fluidsynth and the system SoundFont: when notes sound, how loud
// the result is, how the end rings out, and that seeking restarts playback faithfully.
#include "media/midi/MidiRenderer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "media/midi/MidiSong.h"
#include "media/midi/OfflineRender.h"
#include "tests/support/MidiWriter.h"

namespace {

using media::MidiRenderer;
using media::MidiSong;
using testsupport::MidiWriter;
using Samples = std::vector<int16_t>;

constexpr int kRate = 44100;
// -90 dBFS in 16-bit samples: about one step.
constexpr int kMinus90Dbfs = 1;

std::unique_ptr<MidiSong> SongOf(const MidiWriter& writer) {
    std::vector<uint8_t> bytes = writer.Bytes();
    std::string error;
    std::unique_ptr<MidiSong> song = MidiSong::LoadFromMemory(bytes.data(), bytes.size(), &error);
    EXPECT_TRUE(song) << error;
    return song;
}

std::unique_ptr<MidiRenderer> RendererOf(const MidiSong& song) {
    std::string error;
    std::unique_ptr<MidiRenderer> renderer =
        MidiRenderer::Create(song, kRate, MidiRenderer::kDefaultSoundFont, &error);
    EXPECT_TRUE(renderer) << error;
    return renderer;
}

// Renders until the renderer finishes; `limitFrames` stops a runaway render.
Samples RenderAll(MidiRenderer& renderer, size_t blockFrames = 1024, size_t limitFrames = 120 * kRate) {
    Samples out;
    Samples block(2 * blockFrames);
    while (!renderer.Finished() && out.size() / 2 < limitFrames) {
        size_t frames = renderer.Render(block.data(), blockFrames);
        out.insert(out.end(), block.begin(), block.begin() + long(2 * frames));
    }
    return out;
}

Samples RenderFrames(MidiRenderer& renderer, size_t frames) {
    Samples out(2 * frames);
    out.resize(2 * renderer.Render(out.data(), frames));
    return out;
}

int Level(const Samples& samples, size_t frame) {
    return std::max(std::abs(int(samples[2 * frame])), std::abs(int(samples[2 * frame + 1])));
}

int Peak(const Samples& samples, size_t from = 0, size_t to = SIZE_MAX) {
    int peak = 0;
    for (size_t f = from; f < std::min(to, samples.size() / 2); ++f) peak = std::max(peak, Level(samples, f));
    return peak;
}

double Dbfs(int level) { return 20 * std::log10(std::max(level, 1) / 32768.0); }

size_t Frames(double seconds) { return size_t(std::llround(seconds * kRate)); }

// Short, sharp notes (claves on the drum channel) with room between them, through four
// tempo changes, after a rest of half a second.
MidiWriter OnsetSong() {
    MidiWriter song(1, 480);
    int conductor = song.AddTrack();
    int drums = song.AddTrack();
    song.Tempo(conductor, 0, 500000);
    song.Tempo(conductor, 4 * 480 + 100, 666667);
    song.Tempo(conductor, 8 * 480, 375000);
    song.Tempo(conductor, 12 * 480 + 7, 857143);
    for (uint32_t i = 0; i < 16; ++i) song.Note(drums, 480 + i * 480 + (i * 37) % 100, 120, 9, 75, 120);
    return song;
}

// An onset is the first frame louder than both a floor and eight times the loudest frame
// of the 10 ms that end 2 ms before it (so the attack itself does not raise the bar).
std::vector<double> Onsets(const Samples& samples) {
    const size_t window = Frames(0.010), gap = Frames(0.002), refractory = Frames(0.1);
    std::vector<double> onsets;
    size_t next = window + gap;
    for (size_t f = next; f < samples.size() / 2; ++f) {
        if (f < next) continue;
        int level = Level(samples, f);
        if (level <= 200) continue;
        if (level > 8 * Peak(samples, f - window - gap, f - gap)) {
            onsets.push_back(double(f) / kRate);
            next = f + refractory;
        }
    }
    return onsets;
}

TEST(MidiRenderer, NotesSoundAtTheirTimesAfterASilentRest) {
    MidiWriter writer = OnsetSong();
    std::unique_ptr<MidiSong> song = SongOf(writer);
    ASSERT_TRUE(song);
    std::unique_ptr<MidiRenderer> renderer = RendererOf(*song);
    ASSERT_TRUE(renderer);
    Samples samples = RenderAll(*renderer);

    std::vector<testsupport::WrittenNote> notes = writer.Notes();
    // The rest renders as digital silence up to the first note.
    EXPECT_EQ(Peak(samples, 0, Frames(notes.front().seconds - 0.001)), 0);
    std::vector<double> onsets = Onsets(samples);
    ASSERT_EQ(onsets.size(), notes.size());
    double worst = 0;
    for (size_t i = 0; i < notes.size(); ++i) {
        // fluidsynth starts notes only between blocks of 64 frames (1.45 ms), and the
        // renderer picks the nearest one.
        EXPECT_NEAR(onsets[i], notes[i].seconds, 0.0015) << "note " << i;
        worst = std::max(worst, std::fabs(onsets[i] - notes[i].seconds));
    }
    std::printf("[ figures  ] worst onset error %.3f ms over %zu notes\n", worst * 1000, notes.size());
}

TEST(MidiRenderer, RingOutEndsJustBelowMinus90Dbfs) {
    MidiWriter writer = MidiWriter::TestSong();
    std::unique_ptr<MidiSong> song = SongOf(writer);
    ASSERT_TRUE(song);
    std::unique_ptr<MidiRenderer> renderer = RendererOf(*song);
    ASSERT_TRUE(renderer);
    Samples samples = RenderAll(*renderer);
    ASSERT_TRUE(renderer->Finished());

    size_t frames = samples.size() / 2;
    size_t songEnd = Frames(song->LengthSeconds());
    ASSERT_GT(frames, songEnd);
    // The held chord's release and the reverb sound on after the song's own end...
    EXPECT_GT(Dbfs(Peak(samples, songEnd + Frames(0.05), songEnd + Frames(0.1))), -60.0);
    // ...and the stream ends soon after they have faded below -90 dBFS.
    size_t lastAudible = frames;
    while (lastAudible > 0 && Level(samples, lastAudible - 1) <= kMinus90Dbfs) --lastAudible;
    EXPECT_LE(Peak(samples, frames - Frames(0.010)), kMinus90Dbfs);
    EXPECT_LE(frames - lastAudible, Frames(0.030));
    EXPECT_LT(frames - songEnd, Frames(5.0));
    std::printf("[ figures  ] ring-out %.3f s after the song's end; %.1f ms below -90 dBFS at the end\n",
                double(frames - songEnd) / kRate, 1000.0 * double(frames - lastAudible) / kRate);
}

TEST(MidiRenderer, NotesLeftOnAreReleasedAtTheEnd) {
    // An organ chord with the sustain pedal down, never let go before the end of the file.
    MidiWriter writer(0, 480);
    int track = writer.AddTrack();
    writer.ProgramChange(track, 0, 0, 19);
    writer.Controller(track, 0, 0, 64, 127);
    writer.NoteOn(track, 0, 0, 60, 100);
    writer.NoteOn(track, 0, 0, 67, 100);
    writer.EndOfTrack(track, 960);
    std::unique_ptr<MidiSong> song = SongOf(writer);
    ASSERT_TRUE(song);
    std::unique_ptr<MidiRenderer> renderer = RendererOf(*song);
    ASSERT_TRUE(renderer);
    Samples samples = RenderAll(*renderer, 1024, Frames(song->LengthSeconds() + 20.0));
    EXPECT_TRUE(renderer->Finished());
    // Far from the 15 s that end a ring-out which never fades.
    EXPECT_LT(samples.size() / 2, Frames(song->LengthSeconds() + 5.0));
}

struct LevelCase {
    const char* name;
    std::function<MidiWriter()> make;
    double lowestPeakDbfs;
    double highestPeakDbfs;
};

class MidiRendererLevels : public testing::TestWithParam<LevelCase> {};

TEST_P(MidiRendererLevels, PeakInRangeAndNothingClips) {
    std::unique_ptr<MidiSong> song = SongOf(GetParam().make());
    ASSERT_TRUE(song);
    std::unique_ptr<MidiRenderer> renderer = RendererOf(*song);
    ASSERT_TRUE(renderer);
    Samples samples = RenderAll(*renderer, 4096);
    size_t clipped = 0;
    for (int16_t s : samples) clipped += (s >= 32767 || s <= -32767) ? 1 : 0;
    double peak = Dbfs(Peak(samples));
    EXPECT_EQ(clipped, 0u);
    EXPECT_GE(peak, GetParam().lowestPeakDbfs);
    EXPECT_LE(peak, GetParam().highestPeakDbfs);
    std::printf("[ figures  ] %s: peak %.2f dBFS, %zu clipped samples\n", GetParam().name, peak, clipped);
}

INSTANTIATE_TEST_SUITE_P(
    Songs, MidiRendererLevels,
    testing::Values(LevelCase{"TestSong", [] { return MidiWriter::TestSong(); }, -6.0, -1.0},
                    // Far over full scale before the limiter, which holds it just under -1 dBFS.
                    LevelCase{"DenseSong", [] { return MidiWriter::DenseSong(); }, -3.0, -0.99}),
    [](const testing::TestParamInfo<LevelCase>& info) { return std::string(info.param.name); });

TEST(MidiRenderer, TwoRenderersAtOnceEachPlayTheWholeSong) {
    std::unique_ptr<MidiSong> song = SongOf(MidiWriter::TestSong());
    ASSERT_TRUE(song);
    std::unique_ptr<MidiRenderer> reference = RendererOf(*song);
    ASSERT_TRUE(reference);
    Samples expected = RenderAll(*reference);

    // Side by side on one thread, in blocks of different sizes...
    std::unique_ptr<MidiRenderer> probe = RendererOf(*song);
    std::unique_ptr<MidiRenderer> player = RendererOf(*song);
    ASSERT_TRUE(probe && player);
    Samples fromProbe, fromPlayer;
    Samples block(2 * 1000);
    while (!probe->Finished() || !player->Finished()) {
        size_t n = probe->Render(block.data(), 333);
        fromProbe.insert(fromProbe.end(), block.begin(), block.begin() + long(2 * n));
        n = player->Render(block.data(), 1000);
        fromPlayer.insert(fromPlayer.end(), block.begin(), block.begin() + long(2 * n));
    }
    EXPECT_TRUE(fromProbe == expected);
    EXPECT_TRUE(fromPlayer == expected);

    // ...and on two threads at the same time.
    Samples onThreads[2];
    std::vector<std::thread> threads;
    for (Samples& out : onThreads)
        threads.emplace_back([&song, &out] {
            std::string error;
            std::unique_ptr<MidiRenderer> renderer =
                MidiRenderer::Create(*song, kRate, MidiRenderer::kDefaultSoundFont, &error);
            if (renderer) out = RenderAll(*renderer, 777);
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_TRUE(onThreads[0] == expected);
    EXPECT_TRUE(onThreads[1] == expected);
}

TEST(MidiRenderer, SeekToTheStartPlaysExactlyWhatANewRendererPlays) {
    std::unique_ptr<MidiSong> song = SongOf(MidiWriter::TestSong());
    ASSERT_TRUE(song);
    std::unique_ptr<MidiRenderer> fresh = RendererOf(*song);
    ASSERT_TRUE(fresh);
    Samples expected = RenderAll(*fresh);

    std::unique_ptr<MidiRenderer> renderer = RendererOf(*song);
    ASSERT_TRUE(renderer);
    // Part way through (notes sounding, reverb full), then after the very end.
    for (size_t playedFrames : {Frames(3.0) + 17, SIZE_MAX}) {
        if (playedFrames == SIZE_MAX) RenderAll(*renderer);
        else EXPECT_EQ(RenderFrames(*renderer, playedFrames).size() / 2, playedFrames);
        renderer->SeekTo(0);
        EXPECT_EQ(renderer->FramePosition(), 0u);
        EXPECT_FALSE(renderer->Finished());
        Samples again = RenderAll(*renderer, 512);
        ASSERT_EQ(again.size(), expected.size());
        size_t differing = 0;
        for (size_t i = 0; i < again.size(); ++i) differing += again[i] != expected[i] ? 1 : 0;
        EXPECT_EQ(differing, 0u) << "after playing " << playedFrames << " frames";
    }
}

TEST(MidiRenderer, SeekToTheMiddleRestoresProgramsControllersAndBends) {
    // A violin, quieter and bent up a tone, set up at the start; a note before and after
    // the seek target.
    MidiWriter writer(0, 480);
    int track = writer.AddTrack();
    writer.ProgramChange(track, 0, 0, 40);
    writer.Controller(track, 0, 0, 7, 70);
    writer.Note(track, 0, 240, 0, 67, 100);
    writer.Controller(track, 200, 0, 10, 20);  // Pan to the left.
    writer.PitchBend(track, 300, 0, 0x3000);    // Up a semitone.
    writer.Note(track, 2880, 480, 0, 69, 100);
    writer.EndOfTrack(track, 3840);
    std::unique_ptr<MidiSong> song = SongOf(writer);
    ASSERT_TRUE(song);
    std::unique_ptr<MidiRenderer> fresh = RendererOf(*song);
    ASSERT_TRUE(fresh);
    Samples expected = RenderAll(*fresh);

    // A target on fluidsynth's block grid, so both renders start the late note together.
    const size_t target = 64 * 1378;
    std::unique_ptr<MidiRenderer> renderer = RendererOf(*song);
    ASSERT_TRUE(renderer);
    renderer->SeekTo(double(target) / kRate);
    EXPECT_EQ(renderer->FramePosition(), target);
    Samples resumed = RenderFrames(*renderer, Frames(1.5));
    ASSERT_EQ(resumed.size(), 2 * Frames(1.5));

    int worst = 0;
    for (size_t i = 0; i < resumed.size(); ++i)
        worst = std::max(worst, std::abs(resumed[i] - expected[2 * target + i]));
    EXPECT_GT(Peak(resumed), 1000);  // The late note sounds...
    EXPECT_LE(worst, 8);             // ...as it does when played through from the start.
}

TEST(MidiRenderer, SeekBeyondTheEndFinishesPromptly) {
    std::unique_ptr<MidiSong> song = SongOf(MidiWriter::TestSong());
    ASSERT_TRUE(song);
    std::unique_ptr<MidiRenderer> renderer = RendererOf(*song);
    ASSERT_TRUE(renderer);
    renderer->SeekTo(1e9);
    EXPECT_EQ(renderer->FramePosition(), uint64_t(Frames(song->LengthSeconds())));
    Samples rest = RenderAll(*renderer);
    EXPECT_TRUE(renderer->Finished());
    EXPECT_LE(rest.size() / 2, Frames(0.05));
    EXPECT_LE(Peak(rest), kMinus90Dbfs);
}

TEST(MidiRenderer, UnusableSoundFontsAreRefusedWithAReason) {
    std::unique_ptr<MidiSong> song = SongOf(MidiWriter::TestSong());
    ASSERT_TRUE(song);
    char folder[] = "/tmp/sonovert-sf2-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    std::string text = std::string(folder) + "/text.sf2";
    std::ofstream(text) << "not a SoundFont\n";
    struct Case {
        std::string path;
        const char* reasonPart;
    };
    const Case cases[] = {{std::string(folder) + "/missing.sf2", "SoundFont not found"},
                          {"", "SoundFont not found"},
                          {folder, "cannot read the SoundFont"},
                          {text, "cannot load the SoundFont"}};
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(MidiRenderer::Create(*song, kRate, c.path, &error)) << c.path;
        EXPECT_NE(error.find(c.reasonPart), std::string::npos) << c.path << ": " << error;
    }
    std::filesystem::remove_all(folder);
}

TEST(OfflineRender, RendersAFileAsTheRendererDoesAndReportsFailures) {
    char folder[] = "/tmp/sonovert-offline-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    std::string path = std::string(folder) + "/song.mid";
    MidiWriter writer = MidiWriter::TestSong();
    ASSERT_TRUE(writer.Save(path));
    std::unique_ptr<MidiSong> song = SongOf(writer);
    ASSERT_TRUE(song);
    std::unique_ptr<MidiRenderer> renderer = RendererOf(*song);
    ASSERT_TRUE(renderer);
    Samples expected = RenderAll(*renderer);

    Samples rendered;
    std::string error;
    EXPECT_TRUE(media::RenderMidiFile(path, kRate, &rendered, &error)) << error;
    EXPECT_TRUE(rendered == expected);
    EXPECT_FALSE(media::RenderMidiFile(std::string(folder) + "/missing.mid", kRate, &rendered, &error));
    EXPECT_NE(error.find("not found"), std::string::npos) << error;
    std::filesystem::remove_all(folder);
}

}  // namespace
