#include "tests/support/AudioAnalysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <ostream>
#include <random>
#include <stdexcept>
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

using support::Align;
using support::AlignedCopy;
using support::Alignment;
using support::FindGaps;
using support::Gap;
using support::GapOptions;

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

long Frames(double seconds)
{
    return std::lround(seconds * kRate);
}

double Gain(double db)
{
    return std::pow(10.0, db / 20.0);
}

// Overlapping notes with a few harmonics, attack and decay at random pitches and times, so
// that there is sound from `start` to near the end and the waveform never repeats.
std::vector<float> Music(double seconds, unsigned seed, double start = 0.05)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> pitch(36, 96);
    std::uniform_real_distribution<double> duration(0.15, 0.9), level(0.1, 0.4), step(0.05, 0.25);
    std::vector<double> mix(static_cast<size_t>(Frames(seconds)), 0.0);
    for (double t = start; t < seconds - 0.3; t += step(random)) {
        const double frequency = 440.0 * std::pow(2.0, (pitch(random) - 69) / 12.0);
        const double length = std::min(duration(random), seconds - t);
        const double amplitude = level(random);
        const long first = Frames(t);
        const long count = Frames(length);
        for (long i = 0; i < count; ++i) {
            const double time = static_cast<double>(i) / kRate;
            const double attack = std::min(1.0, time / 0.005);
            const double release = std::min(1.0, (length - time) / 0.01);
            const double envelope = amplitude * attack * release * std::exp(-3.0 * time / length);
            double wave = 0.0;
            for (int harmonic = 1; harmonic <= 4; ++harmonic) {
                wave += std::sin(2.0 * kPi * frequency * harmonic * time) / harmonic;
            }
            mix[static_cast<size_t>(first + i)] += envelope * wave;
        }
    }
    double peak = 0.0;
    for (const double x : mix) {
        peak = std::max(peak, std::fabs(x));
    }
    std::vector<float> out(mix.size());
    for (size_t i = 0; i < mix.size(); ++i) {
        out[i] = static_cast<float>(0.5 * mix[i] / peak);
    }
    return out;
}

const std::vector<float>& Reference()
{
    static const std::vector<float> music = Music(8.0, 1);
    return music;
}

std::vector<float> Noise(size_t count, double db, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, Gain(db));
    std::vector<float> noise(count);
    for (float& x : noise) {
        x = static_cast<float>(normal(random));
    }
    return noise;
}

// What a recorder would capture: `leadIn` seconds of room noise, then reference[from, to)
// at `gainDb`, then `tail` seconds of noise; the noise is at −90 dBFS throughout.
std::vector<float> Recording(const std::vector<float>& reference, double leadIn, long from, long to, double tail,
                             double gainDb = -18.0)
{
    std::vector<float> recording = Noise(static_cast<size_t>(Frames(leadIn) + (to - from) + Frames(tail)), -90, 7);
    const double gain = Gain(gainDb);
    for (long i = from; i < to; ++i) {
        recording[static_cast<size_t>(Frames(leadIn) + i - from)] +=
            static_cast<float>(gain * reference[static_cast<size_t>(i)]);
    }
    return recording;
}

TEST(AudioAnalysis, ToMonoAveragesChannelsAndDropsAPartialFrame)
{
    EXPECT_EQ(support::ToMono({1.0f, 0.0f, 0.5f, 0.5f, -1.0f, 1.0f, 0.25f}, 2),
              (std::vector<float>{0.5f, 0.5f, 0.0f}));
    EXPECT_EQ(support::ToMono({0.25f, 0.5f, 0.75f}, 3), (std::vector<float>{0.5f}));
    EXPECT_EQ(support::ToMono({0.25f, -0.5f}, 1), (std::vector<float>{0.25f, -0.5f}));
}

class FftSize : public ::testing::TestWithParam<size_t> {};

TEST_P(FftSize, MatchesTheDirectTransformAndInvertsIt)
{
    const size_t n = GetParam();
    std::mt19937 random(static_cast<unsigned>(n));
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<std::complex<double>> input(n);
    for (auto& x : input) {
        x = {value(random), value(random)};
    }
    std::vector<std::complex<double>> data = input;
    const support::Fft fft(n);
    fft.Transform(data, false);
    double worst = 0.0;
    for (size_t k = 0; k < n; ++k) {
        std::complex<double> direct = 0.0;
        for (size_t t = 0; t < n; ++t) {
            direct += input[t] * std::polar(1.0, -2.0 * kPi * static_cast<double>(k * t % n) / static_cast<double>(n));
        }
        worst = std::max(worst, std::abs(direct - data[k]));
    }
    EXPECT_LT(worst, 1e-9);
    fft.Transform(data, true);
    worst = 0.0;
    for (size_t t = 0; t < n; ++t) {
        worst = std::max(worst, std::abs(input[t] - data[t]));
    }
    EXPECT_LT(worst, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, FftSize, ::testing::Values(1, 2, 4, 8, 64, 1024));

TEST(AudioAnalysis, FftRefusesSizesThatAreNotPowersOfTwo)
{
    EXPECT_THROW(support::Fft(0), std::invalid_argument);
    EXPECT_THROW(support::Fft(12), std::invalid_argument);
    const support::Fft fft(8);
    std::vector<std::complex<double>> wrongSize(4);
    EXPECT_THROW(fft.Transform(wrongSize, false), std::invalid_argument);
}

struct AlignCase {
    const char* name;
    double leadIn;       // seconds of noise before the recorded part
    double from;         // where in the reference the recording starts
    double to;           // where it stops (the reference is 8 s)
    double tail;         // seconds of noise after it
    long expectedOffset;
};

class AlignFinds : public ::testing::TestWithParam<AlignCase> {};

TEST_P(AlignFinds, TheKnownOffsetOfAQuieterCopy)
{
    const AlignCase& c = GetParam();
    const std::vector<float>& reference = Reference();
    const std::vector<float> recording = Recording(reference, c.leadIn, Frames(c.from), Frames(c.to), c.tail);
    const Alignment found = Align(reference, recording, kRate, 3.0);
    EXPECT_EQ(found.offsetFrames, c.expectedOffset);
    EXPECT_GT(found.correlation, 0.999);
    EXPECT_LE(found.correlation, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, AlignFinds,
    ::testing::Values(AlignCase{"NoLeadIn", 0.0, 0.0, 8.0, 0.0, 0},
                      AlignCase{"LeadIn1100ms", 1.1, 0.0, 8.0, 0.7, Frames(1.1)},
                      AlignCase{"LeadIn37ms", 0.037, 0.0, 8.0, 0.0, Frames(0.037)},
                      AlignCase{"ReferenceLongerThanRecording", 0.3, 0.0, 5.0, 0.0, Frames(0.3)},
                      AlignCase{"RecordingMissesTheStart", 0.0, 0.25, 8.0, 0.5, -Frames(0.25)}),
    CaseName());

TEST(AudioAnalysis, AlignReportsLowCorrelationForUnrelatedSound)
{
    const std::vector<float>& reference = Reference();
    const Alignment noise = Align(reference, Noise(reference.size() + Frames(1.0), -20, 3), kRate, 3.0);
    EXPECT_LT(std::fabs(noise.correlation), 0.1);
    const Alignment otherMusic = Align(reference, Music(8.0, 2), kRate, 3.0);
    EXPECT_LT(std::fabs(otherMusic.correlation), 0.3);
}

TEST(AudioAnalysis, AlignOfSilenceFindsNothing)
{
    const Alignment found = Align(Reference(), std::vector<float>(Reference().size(), 0.0f), kRate, 3.0);
    EXPECT_EQ(found.offsetFrames, 0);
    EXPECT_EQ(found.correlation, 0.0);
}

TEST(AudioAnalysis, AlignedCopyShiftsAndPadsWithSilence)
{
    const std::vector<float> recording{1, 2, 3, 4, 5};
    EXPECT_EQ(AlignedCopy(recording, 2, 4), (std::vector<float>{3, 4, 5, 0}));
    EXPECT_EQ(AlignedCopy(recording, -1, 3), (std::vector<float>{0, 1, 2}));
}

struct Burst {
    double start;
    double length;
    double frequency;
    double amplitude;
};

// Tone bursts with a 1 ms raised-cosine fade-in, in silence.
std::vector<float> Bursts(const std::vector<Burst>& bursts, double seconds)
{
    std::vector<float> signal(static_cast<size_t>(Frames(seconds)), 0.0f);
    for (const Burst& b : bursts) {
        for (long i = 0; i < Frames(b.length); ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double fade = t < 0.001 ? 0.5 - 0.5 * std::cos(kPi * t / 0.001) : 1.0;
            signal[static_cast<size_t>(Frames(b.start) + i)] =
                static_cast<float>(b.amplitude * fade * std::sin(2.0 * kPi * b.frequency * t));
        }
    }
    return signal;
}

TEST(AudioAnalysis, OnsetsOfToneBurstsAreFoundWithinAMillisecond)
{
    std::vector<float> signal = Bursts({{0.5, 0.3, 220, 0.5},
                                        {1.2, 0.1, 440, 0.1},
                                        {1.35, 0.2, 1000, 0.8},
                                        {2.0, 0.4, 330, 0.3}},
                                       3.0);
    // A break shorter than the minimum silence does not start a new onset.
    std::fill(signal.begin() + Frames(2.2), signal.begin() + Frames(2.21), 0.0f);
    const std::vector<double> expected{0.5, 1.2, 1.35, 2.0};
    const std::vector<double> onsets = support::Onsets(signal, kRate, -40.0, 0.03);
    ASSERT_EQ(onsets.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_GE(onsets[i], expected[i]) << "onset " << i;
        EXPECT_NEAR(onsets[i], expected[i], 0.001) << "onset " << i;
    }
}

TEST(AudioAnalysis, SoundAtTheVeryStartIsAnOnset)
{
    const std::vector<float> signal = Bursts({{0.0, 0.2, 300, 0.5}, {0.5, 0.2, 300, 0.5}}, 1.0);
    const std::vector<double> onsets = support::Onsets(signal, kRate, -40.0, 0.05);
    ASSERT_EQ(onsets.size(), 2u);
    EXPECT_NEAR(onsets[0], 0.0, 0.001);
    EXPECT_NEAR(onsets[1], 0.5, 0.001);
}

struct DropoutCase {
    const char* name;
    double at;
    double length;       // 0: the recording is intact
    double dropDb;       // how far the recording falls there; infinity: to digital silence
    bool found;
};

class Dropouts : public ::testing::TestWithParam<DropoutCase> {};

TEST_P(Dropouts, AreFoundWhereTheRecordingLostItsSound)
{
    const DropoutCase& c = GetParam();
    const std::vector<float>& reference = Reference();
    std::vector<float> recording = Recording(reference, 0.0, 0, static_cast<long>(reference.size()), 0.0);
    if (c.length > 0) {
        ASSERT_GT(support::RmsDbfs(reference, Frames(c.at), Frames(c.at + c.length)), -30.0)
            << "the reference must have sound where the dropout is";
        const float gain = std::isinf(c.dropDb) ? 0.0f : static_cast<float>(Gain(-c.dropDb));
        for (long i = Frames(c.at); i < Frames(c.at + c.length); ++i) {
            recording[static_cast<size_t>(i)] *= gain;
        }
    }
    const std::vector<Gap> gaps = FindGaps(reference, recording, kRate);
    if (!c.found) {
        EXPECT_TRUE(gaps.empty()) << gaps.size() << " gaps, the first at " << gaps.front().at << " s";
        return;
    }
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_NEAR(gaps[0].at, c.at, 0.001);
    EXPECT_NEAR(gaps[0].length, c.length, 0.001);
}

const double kSilenced = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(Recordings, Dropouts,
                         ::testing::Values(DropoutCase{"Intact", 0.0, 0.0, 0.0, false},
                                           DropoutCase{"Dropout5ms", 3.2345, 0.005, kSilenced, true},
                                           DropoutCase{"Dropout20ms", 5.5, 0.02, kSilenced, true},
                                           DropoutCase{"Dropout5msEarly", 0.4001, 0.005, kSilenced, true},
                                           DropoutCase{"Fall25dB", 2.5, 0.02, 25.0, true},
                                           DropoutCase{"Dip15dBIsNoDropout", 2.5, 0.02, 15.0, false}),
                         CaseName());

TEST(AudioAnalysis, FindGapsReportsARecordingThatStopsEarly)
{
    const std::vector<float>& reference = Reference();
    const std::vector<float> recording = Recording(reference, 0.0, 0, Frames(6.0), 0.0);
    const std::vector<Gap> gaps = FindGaps(reference, recording, kRate);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_NEAR(gaps[0].at, 6.0, 0.001);
    EXPECT_GT(gaps[0].length, 1.5);
}

TEST(AudioAnalysis, FindGapsWithCorrelationFindsDroppedSamples)
{
    const std::vector<float>& reference = Reference();
    std::vector<float> recording = Recording(reference, 0.0, 0, static_cast<long>(reference.size()), 0.0);
    recording.erase(recording.begin() + Frames(4.0), recording.begin() + Frames(4.0073));
    GapOptions options;
    EXPECT_TRUE(FindGaps(reference, recording, kRate, options).empty()) << "the energy alone does not show it";
    options.minCorrelation = 0.5;
    const std::vector<Gap> gaps = FindGaps(reference, recording, kRate, options);
    ASSERT_FALSE(gaps.empty());
    EXPECT_NEAR(gaps[0].at, 4.0, 0.02);
    const std::vector<float> intact = Recording(reference, 0.0, 0, static_cast<long>(reference.size()), 0.0);
    EXPECT_TRUE(FindGaps(reference, intact, kRate, options).empty());
}

TEST(AudioAnalysis, FindGapsIgnoresTheReferencesOwnSilence)
{
    const std::vector<float> reference = Bursts({{0.2, 0.3, 440, 0.5}, {1.0, 0.3, 660, 0.5}}, 1.5);
    std::vector<float> recording = reference;
    for (float& x : recording) {
        x *= 0.25f;
    }
    std::fill(recording.begin() + Frames(0.6), recording.begin() + Frames(0.9), 0.0f);  // silent anyway
    EXPECT_TRUE(FindGaps(reference, recording, kRate).empty());
    std::fill(recording.begin() + Frames(1.1), recording.begin() + Frames(1.11), 0.0f);
    const std::vector<Gap> gaps = FindGaps(reference, recording, kRate);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_NEAR(gaps[0].at, 1.1, 0.001);
    EXPECT_NEAR(gaps[0].length, 0.01, 0.001);
}

std::vector<float> Sine(double amplitude, double frequency, double seconds)
{
    std::vector<float> signal(static_cast<size_t>(Frames(seconds)));
    for (size_t i = 0; i < signal.size(); ++i) {
        signal[i] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * static_cast<double>(i) / kRate));
    }
    return signal;
}

struct LevelCase {
    const char* name;
    std::vector<float> signal;
    double peakDb;
    double rmsDb;
};

class Levels : public ::testing::TestWithParam<LevelCase> {};

TEST_P(Levels, AreMeasuredInDbfs)
{
    const LevelCase& c = GetParam();
    if (std::isinf(c.peakDb)) {
        EXPECT_EQ(support::PeakDbfs(c.signal), c.peakDb);
        EXPECT_EQ(support::RmsDbfs(c.signal), c.rmsDb);
        return;
    }
    EXPECT_NEAR(support::PeakDbfs(c.signal), c.peakDb, 0.01);
    EXPECT_NEAR(support::RmsDbfs(c.signal), c.rmsDb, 0.01);
}

const double kMinusInfinity = -std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Signals, Levels,
    // 1 s of a 441 Hz sine holds whole periods, so its RMS is exactly peak − 3.01 dB.
    ::testing::Values(LevelCase{"FullScaleSine", Sine(1.0, 441, 1.0), 0.0, -3.0103},
                      LevelCase{"HalfScaleSine", Sine(0.5, 441, 1.0), -6.0206, -9.0309},
                      LevelCase{"Square", std::vector<float>{0.1f, -0.1f, 0.1f, -0.1f}, -20.0, -20.0},
                      LevelCase{"OneSample", std::vector<float>{0.0f, -0.25f, 0.0f, 0.0f}, -12.0412, -18.0618},
                      LevelCase{"Silence", std::vector<float>(100, 0.0f), kMinusInfinity, kMinusInfinity},
                      LevelCase{"Empty", std::vector<float>{}, kMinusInfinity, kMinusInfinity}),
    CaseName());

TEST(AudioAnalysis, RmsDbfsMeasuresTheGivenRange)
{
    std::vector<float> signal(200, 0.0f);
    for (size_t i = 100; i < 200; ++i) {
        signal[i] = i % 2 ? 0.5f : -0.5f;
    }
    EXPECT_EQ(support::RmsDbfs(signal, 0, 100), kMinusInfinity);
    EXPECT_NEAR(support::RmsDbfs(signal, 100, 200), -6.0206, 0.001);
    EXPECT_NEAR(support::RmsDbfs(signal, 100, 5000), -6.0206, 0.001);
    EXPECT_NEAR(support::RmsDbfs(signal, 50, 150), -9.0309, 0.001);
    EXPECT_EQ(support::RmsDbfs(signal, 150, 150), kMinusInfinity);
}

TEST(AudioAnalysis, ClippedSamplesCountsFullScaleMagnitudes)
{
    const std::vector<float> signal{0.5f, 1.0f, -1.0f, 0.99995f, 0.999f, -1.2f, 0.0f};
    EXPECT_EQ(support::ClippedSamples(signal), 4u);
    EXPECT_EQ(support::ClippedSamples(signal, 0.9), 5u);
    EXPECT_EQ(support::ClippedSamples(Sine(0.9, 441, 0.1)), 0u);
}

TEST(AudioAnalysis, LastSoundTimeIsTheEndOfTheLastBurst)
{
    const std::vector<float> signal = Bursts({{0.5, 0.5, 300, 0.5}, {2.0, 0.5, 441, 0.5}}, 3.0);
    EXPECT_NEAR(support::LastSoundTime(signal, kRate, -40.0), 2.5, 0.001);
    EXPECT_EQ(support::LastSoundTime(std::vector<float>(1000, 0.0f), kRate, -40.0), -1.0);
}

TEST(AudioAnalysis, SegmentCorrelationShowsWhetherTheFirstAndLastNotesAreWhole)
{
    const std::vector<float>& reference = Reference();
    const double first = support::Onsets(reference, kRate, -50.0, 0.05).front();
    const double last = support::LastSoundTime(reference, kRate, -50.0);
    const std::vector<float> whole = Recording(reference, 1.1, 0, static_cast<long>(reference.size()), 0.5);
    const Alignment alignment = Align(reference, whole, kRate, 3.0);
    EXPECT_GT(support::SegmentCorrelation(reference, whole, alignment, kRate, first, 0.3), 0.999);
    EXPECT_GT(support::SegmentCorrelation(reference, whole, alignment, kRate, last - 0.5, 0.5), 0.999);

    // A recording that stopped 0.25 s before the music ended lacks part of the last stretch:
    // the correlation falls to the square root of the share of its energy that is left.
    const long cutAt = Frames(last - 0.25);
    const std::vector<float> cut = Recording(reference, 1.1, 0, cutAt, 0.0);
    double kept = 0.0, total = 0.0;
    for (long i = Frames(last - 0.5); i < Frames(last); ++i) {
        const double x = reference[static_cast<size_t>(i)];
        total += x * x;
        kept += i < cutAt ? x * x : 0.0;
    }
    const double partial = support::SegmentCorrelation(reference, cut, alignment, kRate, last - 0.5, 0.5);
    EXPECT_LT(partial, 0.99);
    EXPECT_NEAR(partial, std::sqrt(kept / total), 0.01);
    EXPECT_GT(support::SegmentCorrelation(reference, cut, alignment, kRate, first, 0.3), 0.999);
}

TEST(AudioAnalysis, SegmentCorrelationOfAnEmptyStretchIsZero)
{
    const std::vector<float>& reference = Reference();
    EXPECT_EQ(support::SegmentCorrelation(reference, reference, Alignment{}, kRate, 100.0, 1.0), 0.0);
    EXPECT_EQ(support::SegmentCorrelation(reference, reference, Alignment{}, kRate, 1.0, 0.0), 0.0);
}

}  // namespace
