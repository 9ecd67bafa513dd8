#include "tests/support/WavFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

// Parameterised cases carry a name, used for the test's name and in failure messages.
struct CaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return info.param.name;
    }
};

template <typename Case>
auto operator<<(std::ostream& out, const Case& c) -> decltype(c.name, out)
{
    return out << c.name;
}

using support::kWaveExtensible;
using support::kWaveFloat;
using support::kWavePcm;
using support::ReadWav;
using support::WavInfo;
using support::WriteWav;

// A file in the temporary folder that is removed when the test ends.
class ScratchFile {
public:
    ScratchFile()
    {
        std::random_device random;
        m_path = (std::filesystem::temp_directory_path() /
                  ("sonovert-wavtest-" + std::to_string(random()) + std::to_string(random()) + ".wav"))
                     .string();
    }
    ~ScratchFile() { std::remove(m_path.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& path() const { return m_path; }

    void Write(const std::string& bytes) const
    {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    std::string Read() const
    {
        std::ifstream in(m_path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::string m_path;
};

std::string U16(uint32_t value)
{
    return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

std::string U32(uint32_t value)
{
    return U16(value & 0xFFFF) + U16(value >> 16);
}

// A chunk with its header and, when its size is odd, the pad byte.
std::string Chunk(const std::string& id, const std::string& body)
{
    std::string chunk = id + U32(static_cast<uint32_t>(body.size())) + body;
    if (body.size() % 2 != 0) {
        chunk += '\0';
    }
    return chunk;
}

// A RIFF WAVE file around `chunks`, its size field adjusted by `sizeAdjust`.
std::string Riff(const std::string& chunks, int sizeAdjust = 0)
{
    return "RIFF" + U32(static_cast<uint32_t>(4 + chunks.size() + sizeAdjust)) + "WAVE" + chunks;
}

std::string FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    const uint32_t align = channels * bits / 8u;
    return U16(tag) + U16(channels) + U32(rate) + U32(rate * align) + U16(align) + U16(bits);
}

// Stereo 16-bit PCM at 8 kHz: 100 frames of a ramp.
std::string PcmData()
{
    std::string data;
    for (int frame = 0; frame < 100; ++frame) {
        data += U16(static_cast<uint16_t>(frame * 300)) + U16(static_cast<uint16_t>(-frame * 300));
    }
    return data;
}

std::string ValidFile()
{
    return Riff(Chunk("fmt ", FmtBody(kWavePcm, 2, 8000, 16)) + Chunk("data", PcmData()));
}

// Interleaved test frames: a different sine per channel, with both full-scale extremes.
std::vector<float> TestSignal(int channels, int frames)
{
    std::vector<float> samples;
    for (int frame = 0; frame < frames; ++frame) {
        for (int ch = 0; ch < channels; ++ch) {
            samples.push_back(static_cast<float>(0.9 * std::sin(0.01 * (frame + 1) * (ch + 1))));
        }
    }
    samples[0] = -1.0f;
    samples[samples.size() - 1] = 0.99f;  // below 127/128, the 8-bit maximum
    return samples;
}

struct RoundTripCase {
    const char* name;
    uint16_t formatTag;
    uint16_t channels;
    uint16_t bits;
    bool extensible;
    double tolerance;  // half a quantisation step, or float precision
};

class WavRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(WavRoundTrip, ReadsBackWhatWasWritten)
{
    const RoundTripCase& c = GetParam();
    WavInfo written;
    written.formatTag = c.formatTag;
    written.channels = c.channels;
    written.sampleRate = 44100;
    written.bitsPerSample = c.bits;
    written.extensible = c.extensible;
    constexpr int kFrames = 1001;  // odd, so that 8-bit and 24-bit mono need a pad byte
    const std::vector<float> samples = TestSignal(c.channels, kFrames);
    ScratchFile file;
    ASSERT_TRUE(WriteWav(file.path(), written, samples));

    WavInfo info;
    std::vector<float> read;
    std::string problem = "stale";
    ASSERT_TRUE(ReadWav(file.path(), &info, &read, &problem)) << problem;
    EXPECT_EQ(problem, "");
    EXPECT_EQ(info.formatTag, c.formatTag);
    EXPECT_EQ(info.extensible, c.extensible);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.sampleRate, 44100u);
    EXPECT_EQ(info.bitsPerSample, c.bits);
    EXPECT_EQ(info.blockAlign, c.channels * c.bits / 8);
    EXPECT_EQ(info.byteRate, 44100u * info.blockAlign);
    EXPECT_EQ(info.frames, static_cast<uint64_t>(kFrames));
    EXPECT_EQ(info.dataBytes, info.frames * info.blockAlign);
    ASSERT_EQ(read.size(), samples.size());
    double worst = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        worst = std::max(worst, std::fabs(static_cast<double>(read[i]) - samples[i]));
    }
    EXPECT_LE(worst, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WavRoundTrip,
    ::testing::Values(RoundTripCase{"Pcm8Mono", kWavePcm, 1, 8, false, 0.5 / 128 + 1e-6},
                      RoundTripCase{"Pcm16Mono", kWavePcm, 1, 16, false, 0.5 / 32768 + 1e-7},
                      RoundTripCase{"Pcm16Stereo", kWavePcm, 2, 16, false, 0.5 / 32768 + 1e-7},
                      RoundTripCase{"Pcm24Mono", kWavePcm, 1, 24, false, 0.5 / 8388608 + 1e-7},
                      RoundTripCase{"Pcm24Stereo", kWavePcm, 2, 24, false, 0.5 / 8388608 + 1e-7},
                      RoundTripCase{"Pcm32Stereo", kWavePcm, 2, 32, false, 1e-7},
                      RoundTripCase{"Float32Stereo", kWaveFloat, 2, 32, false, 0.0},
                      RoundTripCase{"Float64Mono", kWaveFloat, 1, 64, false, 0.0},
                      RoundTripCase{"ExtensiblePcm16Stereo", kWavePcm, 2, 16, true, 0.5 / 32768 + 1e-7},
                      RoundTripCase{"ExtensiblePcm24Surround", kWavePcm, 6, 24, true, 0.5 / 8388608 + 1e-7},
                      RoundTripCase{"ExtensibleFloat32Stereo", kWaveFloat, 2, 32, true, 0.0}),
    CaseName());

TEST(WavFile, WritesIntegerSamplesRoundedAndClipped)
{
    WavInfo format;
    format.formatTag = kWavePcm;
    format.channels = 1;
    format.sampleRate = 8000;
    format.bitsPerSample = 16;
    ScratchFile file;
    ASSERT_TRUE(WriteWav(file.path(), format, {1.5f, -2.0f, 1.0f / 32768, 0.75f / 32768}));
    const std::string bytes = file.Read();
    ASSERT_EQ(bytes.size(), 44u + 8u);
    EXPECT_EQ(bytes.substr(44), U16(0x7FFF) + U16(0x8000) + U16(1) + U16(1));
}

TEST(WavFile, ReadsTheHeaderAloneWhenNoSamplesAreWanted)
{
    ScratchFile file;
    file.Write(ValidFile());
    WavInfo info;
    ASSERT_TRUE(ReadWav(file.path(), &info, nullptr, nullptr));
    EXPECT_EQ(info.frames, 100u);
    EXPECT_EQ(info.dataBytes, 400u);
    EXPECT_FALSE(info.extensible);
}

TEST(WavFile, DecodesKnownSampleValues)
{
    const std::string data = U16(0x8000) + U16(0x7FFF) + U16(0x4000) + U16(0xC000);
    ScratchFile file;
    file.Write(Riff(Chunk("fmt ", FmtBody(kWavePcm, 1, 8000, 16)) + Chunk("data", data)));
    std::vector<float> samples;
    std::string problem;
    ASSERT_TRUE(ReadWav(file.path(), nullptr, &samples, &problem)) << problem;
    EXPECT_EQ(samples, (std::vector<float>{-1.0f, 32767.0f / 32768, 0.5f, -0.5f}));
}

struct AcceptedCase {
    const char* name;
    std::string bytes;
    uint64_t frames;
};

class WavAccepted : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(WavAccepted, IsRead)
{
    ScratchFile file;
    file.Write(GetParam().bytes);
    WavInfo info;
    std::vector<float> samples;
    std::string problem;
    ASSERT_TRUE(ReadWav(file.path(), &info, &samples, &problem)) << problem;
    EXPECT_EQ(info.frames, GetParam().frames);
    EXPECT_EQ(samples.size(), GetParam().frames * info.channels);
}

// Odd-sized mono 24-bit data: 3 frames are 9 bytes, so a pad byte follows.
std::string OddData()
{
    return std::string("\x01\x00\x00\x02\x00\x00\x03\x00\x00", 9);
}

std::string OddFmt()
{
    return Chunk("fmt ", FmtBody(kWavePcm, 1, 8000, 24));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WavAccepted,
    ::testing::Values(
        AcceptedCase{"ListBeforeData",
                     Riff(Chunk("fmt ", FmtBody(kWavePcm, 2, 8000, 16)) + Chunk("LIST", "INFOISFT" + U32(4) + "abc") +
                          Chunk("data", PcmData())),
                     100},
        AcceptedCase{"ListAfterData",
                     Riff(Chunk("fmt ", FmtBody(kWavePcm, 2, 8000, 16)) + Chunk("data", PcmData()) +
                          Chunk("LIST", "INFOICMT")),
                     100},
        AcceptedCase{"OddUnknownChunkWithPad",
                     Riff(Chunk("junk", "abc") + Chunk("fmt ", FmtBody(kWavePcm, 2, 8000, 16)) +
                          Chunk("data", PcmData())),
                     100},
        AcceptedCase{"FmtWithCbSize", Riff(Chunk("fmt ", FmtBody(kWaveFloat, 1, 8000, 32) + U16(0)) +
                                           Chunk("data", std::string(8, '\0'))),
                     2},
        AcceptedCase{"OddDataPadCounted", Riff(OddFmt() + Chunk("data", OddData())), 3},
        AcceptedCase{"OddDataPadNotCounted", Riff(OddFmt() + Chunk("data", OddData()), -1), 3},
        AcceptedCase{"OddDataPadMissing",
                     Riff(OddFmt() + Chunk("data", OddData())).substr(0, 12 + 24 + 8 + 9), 3},
        AcceptedCase{"NoFrames", Riff(Chunk("fmt ", FmtBody(kWavePcm, 2, 8000, 16)) + Chunk("data", "")), 0}),
    CaseName());

struct BrokenCase {
    const char* name;
    std::string bytes;
    const char* problem;  // a part of the expected problem text
};

class WavRejected : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(WavRejected, IsRefusedWithItsProblemNamed)
{
    ScratchFile file;
    file.Write(GetParam().bytes);
    WavInfo info;
    std::vector<float> samples;
    std::string problem;
    EXPECT_FALSE(ReadWav(file.path(), &info, &samples, &problem));
    EXPECT_NE(problem.find(GetParam().problem), std::string::npos) << "problem: " << problem;
}

// The valid file with the 4 bytes at `offset` replaced by `value`.
std::string Patched(size_t offset, uint32_t value)
{
    std::string bytes = ValidFile();
    bytes.replace(offset, 4, U32(value));
    return bytes;
}

std::string PatchedU16(size_t offset, uint16_t value)
{
    std::string bytes = ValidFile();
    bytes.replace(offset, 2, U16(value));
    return bytes;
}

// Offsets in ValidFile(): RIFF size 4, format tag 20, byteRate 28, blockAlign 32, data size 40.
INSTANTIATE_TEST_SUITE_P(
    BrokenFiles, WavRejected,
    ::testing::Values(
        BrokenCase{"EmptyFile", "", "empty"},
        BrokenCase{"TextFile", "This is a text file, not a recording.\n", "not a RIFF file"},
        BrokenCase{"TooShort", "RIFF" + U32(4), "too short"},
        BrokenCase{"NotWave", "RIFF" + U32(4) + "AVI ", "not 'WAVE'"},
        BrokenCase{"TruncatedData", ValidFile().substr(0, 44 + 250), "data chunk is truncated"},
        BrokenCase{"RiffSizeZero", Patched(4, 0), "RIFF size is 0x0 "},
        BrokenCase{"RiffSizeAllOnes", Patched(4, 0xFFFFFFFF), "RIFF size is 0xFFFFFFFF"},
        BrokenCase{"RiffSizeTooSmall", Patched(4, 36 + 200), "RIFF size is 236"},
        BrokenCase{"RiffSizeTooLarge", Patched(4, 36 + 402), "RIFF size is 438"},
        BrokenCase{"DataSizeAllOnes", Patched(40, 0xFFFFFFFF), "data chunk size is 0xFFFFFFFF"},
        BrokenCase{"DataSizeZero", Patched(40, 0), "data chunk size is 0x0 "},
        BrokenCase{"DataSizeShort", Patched(40, 200), "only 192 are present"},
        BrokenCase{"FmtMissing", Riff(Chunk("data", PcmData())), "no fmt chunk"},
        BrokenCase{"DataMissing", Riff(Chunk("fmt ", FmtBody(kWavePcm, 2, 8000, 16))), "no data chunk"},
        BrokenCase{"FmtAfterData", Riff(Chunk("data", PcmData()) + Chunk("fmt ", FmtBody(kWavePcm, 2, 8000, 16))),
                   "no fmt chunk before the data chunk"},
        BrokenCase{"TwoFmtChunks",
                   Riff(Chunk("fmt ", FmtBody(kWavePcm, 2, 8000, 16)) + Chunk("fmt ", FmtBody(kWavePcm, 2, 8000, 16)) +
                        Chunk("data", PcmData())),
                   "more than one fmt chunk"},
        BrokenCase{"FmtTooShort", Riff(Chunk("fmt ", std::string(14, '\1')) + Chunk("data", PcmData())),
                   "fmt chunk is too short"},
        BrokenCase{"WrongBlockAlign", PatchedU16(32, 2), "blockAlign is 2, expected 4"},
        BrokenCase{"WrongByteRate", Patched(28, 16000), "byteRate is 16000, expected 32000"},
        BrokenCase{"UnsupportedFormat", PatchedU16(20, 2), "unsupported format tag 0x2"},
        BrokenCase{"UnsupportedBits",
                   Riff(Chunk("fmt ", FmtBody(kWavePcm, 1, 8000, 12)) + Chunk("data", std::string(4, '\0'))),
                   "unsupported PCM sample size of 12 bits"},
        BrokenCase{"Float16",
                   Riff(Chunk("fmt ", FmtBody(kWaveFloat, 1, 8000, 16)) + Chunk("data", std::string(4, '\0'))),
                   "unsupported float sample size of 16 bits"},
        BrokenCase{"ZeroChannels", PatchedU16(22, 0), "0 channels"},
        BrokenCase{"PartialFrame",
                   Riff(Chunk("fmt ", FmtBody(kWavePcm, 2, 8000, 16)) + Chunk("data", PcmData() + "xy")),
                   "not a whole number of 4-byte frames"},
        BrokenCase{"ExtensibleUnknownSubformat",
                   Riff(Chunk("fmt ", FmtBody(kWaveExtensible, 2, 8000, 16) + U16(22) + U16(16) + U32(3) + U16(2) +
                                          std::string("\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71", 14)) +
                        Chunk("data", PcmData())),
                   "subformat is neither PCM nor IEEE float"},
        BrokenCase{"ExtensibleTooShort",
                   Riff(Chunk("fmt ", FmtBody(kWaveExtensible, 2, 8000, 16) + U16(0)) + Chunk("data", PcmData())),
                   "WAVE_FORMAT_EXTENSIBLE fmt chunk is too short"},
        BrokenCase{"ChunkPastEnd", Riff(Chunk("fmt ", FmtBody(kWavePcm, 2, 8000, 16)) + Chunk("data", PcmData()) +
                                        "LIST" + U32(100) + "INFO"),
                   "chunk 'LIST' at offset 444 says 100 bytes, only 4 are present"},
        BrokenCase{"StrayBytes", Riff(Chunk("fmt ", FmtBody(kWavePcm, 2, 8000, 16)) + Chunk("data", PcmData()) + "abc"),
                   "3 stray bytes"}),
    CaseName());

TEST(WavFile, MissingFileIsNamed)
{
    std::string problem;
    EXPECT_FALSE(ReadWav("/nonexistent/sonovert/none.wav", nullptr, nullptr, &problem));
    EXPECT_EQ(problem, "cannot open /nonexistent/sonovert/none.wav");
}

struct UnwritableCase {
    const char* name;
    uint16_t formatTag;
    uint16_t channels;
    uint16_t bits;
    size_t samples;
    bool badPath;
};

class WavNotWritten : public ::testing::TestWithParam<UnwritableCase> {};

TEST_P(WavNotWritten, IsRefused)
{
    const UnwritableCase& c = GetParam();
    WavInfo format;
    format.formatTag = c.formatTag;
    format.channels = c.channels;
    format.sampleRate = 8000;
    format.bitsPerSample = c.bits;
    ScratchFile file;
    const std::string path = c.badPath ? "/nonexistent/sonovert/out.wav" : file.path();
    EXPECT_FALSE(WriteWav(path, format, std::vector<float>(c.samples, 0.25f)));
    EXPECT_FALSE(std::filesystem::exists(path));
}

INSTANTIATE_TEST_SUITE_P(
    Invalid, WavNotWritten,
    ::testing::Values(UnwritableCase{"NoChannels", kWavePcm, 0, 16, 4, false},
                      UnwritableCase{"Pcm12Bits", kWavePcm, 1, 12, 4, false},
                      UnwritableCase{"Float16Bits", kWaveFloat, 1, 16, 4, false},
                      UnwritableCase{"UnknownFormat", 2, 1, 16, 4, false},
                      UnwritableCase{"PartialFrame", kWavePcm, 2, 16, 5, false},
                      UnwritableCase{"UnwritablePath", kWavePcm, 1, 16, 4, true}),
    CaseName());

}  // namespace
