// Loading MIDI files through libsmf: the tempo map against the writer's own arithmetic,
// what broken files are refused with, and which oddities of real files still load.
#include "media/midi/MidiSong.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/MidiWriter.h"

namespace {

using media::MidiSong;
using testsupport::MidiWriter;
using Bytes = std::vector<uint8_t>;
using Failure = MidiSong::Failure;

constexpr double kOneMillisecond = 0.001;

// A private folder for the files of one test, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/sonovert-midi-XXXXXX";
        path_ = mkdtemp(pattern) ? pattern : "";
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    std::string Write(const std::string& name, const Bytes& bytes) const {
        std::string file = path_ + "/" + name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return file;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::unique_ptr<MidiSong> LoadBytes(const Bytes& bytes, std::string* error = nullptr,
                                    Failure* failure = nullptr) {
    return MidiSong::LoadFromMemory(bytes.data(), bytes.size(), error, failure);
}

void PutLe32(Bytes* out, uint32_t v) {
    out->insert(out->end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}

// A RIFF RMID file around `smf`, with a chunk before the data chunk as some writers add.
Bytes WrapRmid(const Bytes& smf, uint32_t declaredDataLength) {
    Bytes out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'M', 'I', 'D', 'I', 'N', 'F', 'O'};
    PutLe32(&out, 3);
    out.insert(out.end(), {'a', 'b', 'c', 0});  // Odd length, padded.
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    PutLe32(&out, declaredDataLength);
    out.insert(out.end(), smf.begin(), smf.end());
    uint32_t riffLength = uint32_t(out.size() - 8);
    for (int k = 0; k < 4; ++k) out[4 + k] = uint8_t(riffLength >> (8 * k));
    return out;
}

// A file of one track whose body is given byte for byte.
Bytes OneTrack(const Bytes& body, uint16_t division = 96, uint16_t format = 0) {
    Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, uint8_t(format), 0, 1,
                 uint8_t(division >> 8), uint8_t(division)};
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    uint32_t n = uint32_t(body.size());
    out.insert(out.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

MidiWriter Melody(int format, int ticksPerQuarter) {
    MidiWriter song(format, ticksPerQuarter);
    int track = song.AddTrack();
    for (int i = 0; i < 8; ++i)
        song.Note(track, uint32_t(i * ticksPerQuarter), uint32_t(ticksPerQuarter / 2), 0, 60 + i, 90);
    return song;
}

struct TimingCase {
    const char* name;
    std::function<MidiWriter()> make;
};

class MidiSongTiming : public testing::TestWithParam<TimingCase> {};

// libsmf's tempo map gives the song's length and every note's time as the writer's own
// arithmetic does.
TEST_P(MidiSongTiming, LengthAndNoteTimesFollowTheTempoMap) {
    MidiWriter writer = GetParam().make();
    std::string error;
    std::unique_ptr<MidiSong> song = LoadBytes(writer.Bytes(), &error);
    ASSERT_TRUE(song) << error;
    EXPECT_NEAR(song->LengthSeconds(), writer.LengthSeconds(), kOneMillisecond);

    std::vector<double> onsets;
    for (const media::MidiEvent& event : song->Events())
        if ((event.status & 0xF0) == 0x90 && event.data2 > 0) onsets.push_back(event.seconds);
    std::vector<testsupport::WrittenNote> notes = writer.Notes();
    ASSERT_EQ(onsets.size(), notes.size());
    for (size_t i = 0; i < notes.size(); ++i)
        EXPECT_NEAR(onsets[i], notes[i].seconds, kOneMillisecond) << "note " << i;
    for (size_t i = 1; i < song->Events().size(); ++i)
        ASSERT_LE(song->Events()[i - 1].seconds, song->Events()[i].seconds) << "event " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Files, MidiSongTiming,
    testing::Values(
        TimingCase{"NoTempoEvent", [] { return Melody(0, 96); }},
        TimingCase{"OneChange",
                   [] {
                       MidiWriter song = Melody(0, 480);
                       song.Tempo(0, 4 * 480, 1000000);
                       return song;
                   }},
        TimingCase{"ManyChangesFormat0",
                   [] {
                       MidiWriter song = Melody(0, 192);
                       for (uint32_t i = 0; i < 40; ++i)
                           song.Tempo(0, i * 37, 300000 + (i * 7919) % 700000);
                       return song;
                   }},
        TimingCase{"ManyChangesFormat1InTheirOwnTrack",
                   [] {
                       MidiWriter song = Melody(1, 120);
                       int conductor = song.AddTrack();
                       for (uint32_t i = 0; i < 25; ++i)
                           song.Tempo(conductor, i * 45 + 7, 250000 + (i * 104729) % 900000);
                       return song;
                   }},
        TimingCase{"RestAtTheStartAndTheEnd",
                   [] {
                       MidiWriter song(1, 480);
                       int track = song.AddTrack();
                       song.Tempo(track, 0, 400000);
                       song.Note(track, 3 * 480, 480, 0, 64, 100);
                       song.EndOfTrack(track, 9 * 480);
                       return song;
                   }},
        TimingCase{"RunningStatus",
                   [] {
                       MidiWriter song = MidiWriter::TestSong();
                       song.UseRunningStatus(true);
                       return song;
                   }},
        TimingCase{"TestSong", [] { return MidiWriter::TestSong(); }}),
    [](const testing::TestParamInfo<TimingCase>& info) { return std::string(info.param.name); });

TEST(MidiSong, SmpteDivisionCountsFramesNotBeats) {
    // 25 frames of 40 ticks: a thousand ticks a second, whatever the tempo events say.
    Bytes bytes = OneTrack({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,  // 1 s a beat: ignored
                            0x00, 0x90, 0x3C, 0x64, 0x87, 0x68, 0x80, 0x3C, 0x00,  // 1000 ticks
                            0x8F, 0x50, 0xFF, 0x2F, 0x00},                          // 2000 ticks
                           uint16_t(0xE728));
    std::string error;
    std::unique_ptr<MidiSong> song = LoadBytes(bytes, &error);
    ASSERT_TRUE(song) << error;
    EXPECT_NEAR(song->LengthSeconds(), 3.0, kOneMillisecond);
    ASSERT_EQ(song->Events().size(), 2u);
    EXPECT_NEAR(song->Events()[1].seconds, 1.0, kOneMillisecond);
}

struct BadCase {
    const char* name;
    std::function<Bytes()> bytes;
    Failure failure;
    const char* reasonPart;
};

class MidiSongRefuses : public testing::TestWithParam<BadCase> {};

TEST_P(MidiSongRefuses, BrokenBytesWithAReason) {
    std::string error;
    Failure failure = Failure::None;
    EXPECT_FALSE(LoadBytes(GetParam().bytes(), &error, &failure));
    EXPECT_EQ(failure, GetParam().failure);
    EXPECT_NE(error.find(GetParam().reasonPart), std::string::npos) << error;
}

Bytes TestSongBytes() { return MidiWriter::TestSong().Bytes(); }

Bytes Cut(size_t keep) {
    Bytes bytes = TestSongBytes();
    bytes.resize(std::min(keep, bytes.size()));
    return bytes;
}

Bytes Patched(size_t at, Bytes replacement) {
    Bytes bytes = TestSongBytes();
    std::copy(replacement.begin(), replacement.end(), bytes.begin() + long(at));
    return bytes;
}

// Where the test song's first track ends: a cut there leaves whole chunks only.
size_t FirstTrackEnd() {
    Bytes bytes = TestSongBytes();
    return 14 + 8 + ((size_t(bytes[18]) << 24) | (size_t(bytes[19]) << 16) | (size_t(bytes[20]) << 8) | bytes[21]);
}

INSTANTIATE_TEST_SUITE_P(
    Files, MidiSongRefuses,
    testing::Values(
        BadCase{"Empty", [] { return Bytes(); }, Failure::NotMidi, "empty"},
        BadCase{"TextRenamed",
                [] {
                    std::string text = "This is not music, only a text file named song.mid\n";
                    return Bytes(text.begin(), text.end());
                },
                Failure::NotMidi, "not a MIDI file"},
        BadCase{"SignatureOnly", [] { return Cut(4); }, Failure::Corrupt, "truncated"},
        BadCase{"CutInsideTheHeader", [] { return Cut(11); }, Failure::Corrupt, "truncated"},
        BadCase{"HeaderOnly", [] { return Cut(14); }, Failure::Corrupt, "truncated"},
        BadCase{"CutInsideATrackHeader", [] { return Cut(19); }, Failure::Corrupt, "truncated"},
        BadCase{"CutAtAChunkBoundary", [] { return Cut(FirstTrackEnd()); }, Failure::Corrupt, "truncated"},
        BadCase{"CutInTheMiddle", [] { return Cut(TestSongBytes().size() / 2); }, Failure::Corrupt, "truncated"},
        BadCase{"LastByteMissing", [] { return Cut(TestSongBytes().size() - 1); }, Failure::Corrupt, "truncated"},
        BadCase{"HugeTrackLength", [] { return Patched(18, {0xFF, 0xFF, 0xFF, 0xF0}); }, Failure::Corrupt, "truncated"},
        BadCase{"HugeHeaderLength", [] { return Patched(4, {0x7F, 0xFF, 0xFF, 0xFF}); }, Failure::Corrupt, "truncated"},
        BadCase{"ShortHeaderLength", [] { return Patched(4, {0, 0, 0, 5}); }, Failure::Corrupt, "header"},
        BadCase{"FormatTwo", [] { return Patched(8, {0, 2}); }, Failure::Unsupported, "format 2"},
        BadCase{"UnknownFormat", [] { return Patched(8, {0x12, 0x34}); }, Failure::Corrupt, "header"},
        BadCase{"NoTracks", [] { return Patched(10, {0, 0}); }, Failure::Corrupt, "no tracks"},
        BadCase{"ZeroDivision", [] { return Patched(12, {0, 0}); }, Failure::Corrupt, "header"},
        BadCase{"RunningStatusWithoutAStatus",
                [] { return OneTrack({0x00, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00}); }, Failure::Corrupt, "damaged"},
        BadCase{"RunningStatusAfterOnlyMetaEvents",
                [] { return OneTrack({0x00, 0xFF, 0x01, 0x01, 'x', 0x00, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00}); },
                Failure::Corrupt, "damaged"},
        BadCase{"StatusByteWhereDataBelongs",
                [] { return OneTrack({0x00, 0x90, 0x3C, 0x90, 0x00, 0xFF, 0x2F, 0x00}); }, Failure::Corrupt, "damaged"},
        BadCase{"FiveByteDeltaTime",
                [] { return OneTrack({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00}); },
                Failure::Corrupt, "damaged"},
        BadCase{"UndefinedSystemStatus",
                [] { return OneTrack({0x00, 0xF4, 0x00, 0xFF, 0x2F, 0x00}); }, Failure::Corrupt, "damaged"},
        BadCase{"MetaLongerThanItsTrack",
                [] { return OneTrack({0x00, 0xFF, 0x03, 0x7F, 'a', 'b'}); }, Failure::Corrupt, "truncated"},
        BadCase{"SysExLongerThanItsTrack",
                [] { return OneTrack({0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0x7F, 0x7E, 0x7F}); }, Failure::Corrupt, "truncated"},
        BadCase{"TimesOutOfRange",
                [] {
                    Bytes body;
                    for (int i = 0; i < 8; ++i) body.insert(body.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00});
                    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
                    return OneTrack(body);
                },
                Failure::Corrupt, "out of range"},
        BadCase{"LongerThanSixHours",
                [] {
                    // The slowest tempo and one tick a beat: 2^28 beats of 16.7 s each.
                    return OneTrack({0x00, 0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF, 0x00, 0x90, 0x3C, 0x64,
                                     0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x2F, 0x00},
                                    1);
                },
                Failure::Unsupported, "six hours"},
        BadCase{"RiffWave",
                [] {
                    Bytes bytes = WrapRmid(TestSongBytes(), uint32_t(TestSongBytes().size()));
                    std::copy_n("WAVE", 4, bytes.begin() + 8);
                    return bytes;
                },
                Failure::NotMidi, "not a MIDI file"},
        BadCase{"RmidWithoutData",
                [] {
                    Bytes bytes = WrapRmid(TestSongBytes(), uint32_t(TestSongBytes().size()));
                    std::copy_n("junk", 4, bytes.begin() + 24);
                    return bytes;
                },
                Failure::NotMidi, "no MIDI data"},
        BadCase{"RmidDataLongerThanTheFile",
                [] { return WrapRmid(TestSongBytes(), uint32_t(TestSongBytes().size() + 100)); },
                Failure::Corrupt, "truncated"},
        BadCase{"RmidAroundText",
                [] {
                    std::string text = "plain words";
                    return WrapRmid(Bytes(text.begin(), text.end()), uint32_t(text.size()));
                },
                Failure::NotMidi, "not a MIDI file"},
        BadCase{"RmidAroundATruncatedSong",
                [] {
                    Bytes half = Cut(TestSongBytes().size() / 2);
                    return WrapRmid(half, uint32_t(half.size()));
                },
                Failure::Corrupt, "truncated"}),
    [](const testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

TEST(MidiSong, FilesThatCannotBeOpenedHaveTheirOwnReasons) {
    ScratchFolder folder;
    struct Case {
        std::string path;
        Failure failure;
        const char* reasonPart;
    };
    const Case cases[] = {
        {folder.path() + "/missing.mid", Failure::NotFound, "not found"},
        {folder.path() + "/no-such-folder/song.mid", Failure::NotFound, "not found"},
        {folder.path(), Failure::Unreadable, "not a regular file"},
        {folder.Write("empty.mid", {}), Failure::NotMidi, "empty"},
    };
    for (const Case& c : cases) {
        std::string error;
        Failure failure = Failure::None;
        EXPECT_FALSE(MidiSong::Load(c.path, &error, &failure)) << c.path;
        EXPECT_EQ(failure, c.failure) << c.path;
        EXPECT_NE(error.find(c.reasonPart), std::string::npos) << c.path << ": " << error;
    }
}

struct OddCase {
    const char* name;
    std::function<Bytes()> bytes;
    double lengthSeconds;
};

class MidiSongAccepts : public testing::TestWithParam<OddCase> {};

// Oddities that players accept and real files have.
TEST_P(MidiSongAccepts, OddButPlayableFiles) {
    std::string error;
    std::unique_ptr<MidiSong> song = LoadBytes(GetParam().bytes(), &error);
    ASSERT_TRUE(song) << error;
    EXPECT_NEAR(song->LengthSeconds(), GetParam().lengthSeconds, kOneMillisecond);
    EXPECT_FALSE(song->Events().empty());
}

Bytes WithChunkInserted(const Bytes& smf, size_t at, const Bytes& chunk) {
    Bytes out(smf.begin(), smf.begin() + long(at));
    out.insert(out.end(), chunk.begin(), chunk.end());
    out.insert(out.end(), smf.begin() + long(at), smf.end());
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Files, MidiSongAccepts,
    testing::Values(
        // 96 ticks a beat at 120 bpm: 192 ticks a second.
        OddCase{"RunningStatusAcrossAMetaEvent",
                [] {
                    return OneTrack({0x00, 0x90, 0x3C, 0x64, 0x60, 0xFF, 0x01, 0x01, 'x', 0x00, 0x3C, 0x00,
                                     0x00, 0xFF, 0x2F, 0x00});
                },
                0.5},
        OddCase{"NoEndOfTrack", [] { return OneTrack({0x00, 0x90, 0x3C, 0x64, 0x83, 0x00, 0x80, 0x3C, 0x00}); },
                2.0},
        OddCase{"BytesAfterTheEndOfTrack",
                [] { return OneTrack({0x00, 0x90, 0x3C, 0x64, 0x60, 0xFF, 0x2F, 0x00, 0xDE, 0xAD}); }, 0.5},
        OddCase{"SysExTextAndTimeSignature",
                [] {
                    return OneTrack({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,  // GM on
                                     0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g',
                                     0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08,
                                     0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00});
                },
                0.5},
        OddCase{"RealTimeAndSongPositionBytes",
                [] {
                    return OneTrack({0x00, 0xF8, 0x00, 0xF2, 0x00, 0x00, 0x00, 0x90, 0x3C, 0x64,
                                     0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00});
                },
                0.5},
        OddCase{"LongerHeader",
                [] {
                    Bytes bytes = Melody(0, 96).Bytes();
                    bytes[7] = 8;
                    bytes.insert(bytes.begin() + 14, {0xAB, 0xCD});
                    return bytes;
                },
                Melody(0, 96).LengthSeconds()},
        OddCase{"UnknownChunkBetweenTracks",
                [] { return WithChunkInserted(TestSongBytes(), FirstTrackEnd(), {'X', 'Y', 'Z', 'W', 0, 0, 0, 2, 1, 2}); },
                MidiWriter::TestSong().LengthSeconds()},
        OddCase{"Format0WithSeveralTracks",
                [] {
                    Bytes bytes = TestSongBytes();
                    bytes[9] = 0;
                    return bytes;
                },
                MidiWriter::TestSong().LengthSeconds()},
        OddCase{"RmidWrapper",
                [] { return WrapRmid(TestSongBytes(), uint32_t(TestSongBytes().size())); },
                MidiWriter::TestSong().LengthSeconds()}),
    [](const testing::TestParamInfo<OddCase>& info) { return std::string(info.param.name); });

struct LargeCase {
    const char* name;
    std::function<Bytes()> bytes;
    size_t events;
    double lengthSeconds;
};

class MidiSongLarge : public testing::TestWithParam<LargeCase> {};

// Files far beyond real songs load in about a second. libsmf's own teardown, one event at
// a time with a search each, would take hours here: such a regression shows as a timeout.
TEST_P(MidiSongLarge, LoadsInOnePass) {
    std::string error;
    std::unique_ptr<MidiSong> song = LoadBytes(GetParam().bytes(), &error);
    ASSERT_TRUE(song) << error;
    EXPECT_EQ(song->Events().size(), GetParam().events);
    EXPECT_NEAR(song->LengthSeconds(), GetParam().lengthSeconds, kOneMillisecond);
}

// 96 ticks a beat at 120 bpm: 192 ticks a second.
constexpr size_t kManyEvents = 2000000;
constexpr size_t kManyTempoChanges = 1000000;
constexpr size_t kManyTracks = 65535;

INSTANTIATE_TEST_SUITE_P(
    Files, MidiSongLarge,
    testing::Values(
        LargeCase{"TwoMillionNotesInRunningStatus",
                  [] {
                      Bytes body = {0x00, 0x90, 0x3C, 0x40};
                      for (size_t i = 1; i < kManyEvents; ++i) body.insert(body.end(), {0x01, 0x3C, uint8_t(i % 2 ? 0 : 0x40)});
                      body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
                      return OneTrack(body);
                  },
                  kManyEvents, (kManyEvents - 1) / 192.0},
        LargeCase{"AMillionTempoChanges",
                  [] {
                      Bytes body = {0x00, 0x90, 0x3C, 0x40};
                      for (size_t i = 0; i < kManyTempoChanges; ++i)
                          body.insert(body.end(), {0x01, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});  // 120 bpm
                      body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
                      return OneTrack(body);
                  },
                  1, kManyTempoChanges / 192.0},
        LargeCase{"AllTheTracksAFileCanHave",
                  [] {
                      Bytes track = {'M', 'T', 'r', 'k', 0, 0, 0, 12, 0x00, 0x90, 0x3C, 0x40, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00};
                      Bytes bytes = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0xFF, 0xFF, 0, 96};
                      for (size_t i = 0; i < kManyTracks; ++i) bytes.insert(bytes.end(), track.begin(), track.end());
                      return bytes;
                  },
                  2 * kManyTracks, 0.5}),
    [](const testing::TestParamInfo<LargeCase>& info) { return std::string(info.param.name); });

TEST(MidiSong, LoadsByAUtf8PathAndSniffsFiles) {
    ScratchFolder folder;
    Bytes song = TestSongBytes();
    std::string text = "MThe quick brown fox";
    struct Case {
        std::string path;
        bool looksLikeMidi;
        bool loads;
    };
    const Case cases[] = {
        {folder.Write("Lied für Ålesund ♪.mid", song), true, true},
        {folder.Write("wrapped.rmi", WrapRmid(song, uint32_t(song.size()))), true, true},
        {folder.Write("no-extension", song), true, true},
        {folder.Write("text.mid", Bytes(text.begin(), text.end())), false, false},
        {folder.Write("empty.mid", {}), false, false},
        {folder.Write("wave.rmi", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}), false, false},
        {folder.path() + "/missing.mid", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MidiSong::LooksLikeMidi(c.path), c.looksLikeMidi) << c.path;
        std::string error;
        std::unique_ptr<MidiSong> loaded = MidiSong::Load(c.path, &error);
        EXPECT_EQ(bool(loaded), c.loads) << c.path << ": " << error;
        if (loaded) {
            EXPECT_NEAR(loaded->LengthSeconds(), MidiWriter::TestSong().LengthSeconds(), kOneMillisecond);
        }
    }
}

// libsmf's warnings and GLib's criticals must not reach the program's stderr.
TEST(MidiSong, LoadingWritesNothingToStderr) {
    ScratchFolder folder;
    std::string capturePath = folder.path() + "/stderr.txt";
    std::fflush(stderr);
    int saved = dup(2);
    ASSERT_GE(saved, 0);
    std::FILE* capture = std::fopen(capturePath.c_str(), "w");
    ASSERT_TRUE(capture);
    dup2(fileno(capture), 2);
    std::vector<Bytes> inputs = {TestSongBytes(), Cut(30), Cut(TestSongBytes().size() - 1),
                                 OneTrack({0x00, 0xF4, 0x00}), WrapRmid(TestSongBytes(), 7),
                                 Patched(8, {0, 2}), OneTrack({0x00, 0xF8, 0x00, 0xFF, 0x2F, 0x00})};
    int loaded = 0;
    for (const Bytes& input : inputs) loaded += LoadBytes(input) ? 1 : 0;
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::fclose(capture);
    EXPECT_EQ(loaded, 2);
    std::ifstream written(capturePath);
    std::string text((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "");
}

}  // namespace
