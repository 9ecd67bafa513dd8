#pragma once
// Measurements for comparing a recording with an offline render of the same music: where
// the render sits in the recording, how alike they are, and where sound went missing.
// Signals are float samples in -1..1. "mono" parameters take one channel (see ToMono);
// levels are in dBFS, where 0 dBFS is a sample of magnitude 1.

#include <complex>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace support {

// Averages the channels of interleaved frames into one. A trailing partial frame is dropped.
std::vector<float> ToMono(const std::vector<float>& interleaved, int channels);

// An in-place radix-2 FFT of a fixed power-of-two size, set up once and reused.
class Fft {
public:
    explicit Fft(size_t size);  // `size` must be a power of two (1 included)
    size_t size() const { return m_size; }
    // Forward: X[k] = Σ x[n]·e^(−2πikn/N). Inverse: x[n] = (1/N)·Σ X[k]·e^(+2πikn/N).
    // `data` must hold size() values.
    void Transform(std::vector<std::complex<double>>& data, bool inverse) const;

private:
    size_t m_size;
    std::vector<std::complex<double>> m_twiddles;  // e^(−2πik/N), k < N/2
    std::vector<size_t> m_reversed;                // bit-reversed index of each position
};

// Where `reference` sits in `recording`: recording[i + offsetFrames] matches reference[i].
// A positive offset is lead-in before the reference starts; a negative one means the
// recording misses the reference's beginning.
struct Alignment {
    long offsetFrames = 0;
    double correlation = 0.0;  // Pearson over the overlapping part at that offset: 1 = same shape
};

// Finds the offset in [−maxOffsetSeconds, +maxOffsetSeconds] at which the mono `reference`
// best matches the mono `recording`, and the full-rate correlation there (independent of
// gain). Either signal may be longer; the match must overlap at least half of the shorter
// one. Works in two steps: an FFT cross-correlation of 1 ms RMS envelopes picks a few
// candidate offsets, then a full-rate FFT cross-correlation over the whole overlap, a few
// milliseconds either side of each candidate, picks the exact one. Returns {0, 0} when a
// signal is empty or silent.
Alignment Align(const std::vector<float>& reference, const std::vector<float>& recording, int sampleRate,
                double maxOffsetSeconds);

// `length` samples of `recording` moved so that index i lines up with reference[i] under
// `offsetFrames`; samples the recording does not have are 0.
std::vector<float> AlignedCopy(const std::vector<float>& recording, long offsetFrames, size_t length);

// Times in seconds of the first sample whose magnitude is above `thresholdDb` after at least
// `minSilenceSeconds` of samples at or below it (the start of the signal counts as silence).
// `minSilenceSeconds` should exceed half a period of the lowest tone, so that zero
// crossings inside a note do not count as silence.
std::vector<double> Onsets(const std::vector<float>& mono, int sampleRate, double thresholdDb,
                           double minSilenceSeconds);

// A stretch where the recording lost sound the reference has; seconds in reference time.
struct Gap {
    double at = 0.0;
    double length = 0.0;
};

struct GapOptions {
    // Energy windows are short so that one lies wholly inside a 5 ms dropout wherever it falls.
    double windowSeconds = 0.002;
    double hopSeconds = 0.0005;
    double soundDb = -50.0;  // a reference window with an RMS above this has sound
    double dropDb = 20.0;    // a recording window this far below the scaled reference is a dropout
    // When above 0, also flags windows of correlationWindowSeconds (hop a quarter of it) whose
    // Pearson correlation with the reference is below minCorrelation: dropped or repeated
    // samples keep the energy but shift everything after them, so such a gap runs on until
    // the recording lines up again. Only meaningful for sample-exact recordings.
    double minCorrelation = 0.0;
    double correlationWindowSeconds = 0.02;
    double minLengthSeconds = 0.0;  // shorter gaps are not reported
};

// Compares `reference` with `alignedRecording` (see AlignedCopy; both mono, index i of one
// matches index i of the other; the recording counts as silent past its end). The
// recording's gain is the median recording/reference energy ratio of the windows with
// sound (taken as 1 when that is below −60 dB, so that a mostly silent recording is
// measured against the reference itself). Flagged windows that touch or overlap are merged.
std::vector<Gap> FindGaps(const std::vector<float>& reference, const std::vector<float>& alignedRecording,
                          int sampleRate, const GapOptions& options = GapOptions());

// The largest magnitude in dBFS; −infinity for silence or no samples.
double PeakDbfs(const std::vector<float>& samples);

// How many samples have a magnitude of at least `threshold`.
size_t ClippedSamples(const std::vector<float>& samples, double threshold = 0.9999);

// The RMS of samples [from, to) in dBFS (a full-scale sine is −3.01 dBFS); `to` is clamped to
// the size; −infinity for silence or an empty range.
double RmsDbfs(const std::vector<float>& samples, size_t from = 0,
               size_t to = std::numeric_limits<size_t>::max());

// The time in seconds of the last sample whose magnitude is above `thresholdDb`; −1 if none.
double LastSoundTime(const std::vector<float>& mono, int sampleRate, double thresholdDb);

// Pearson correlation between reference[start, start + length) and the part of the mono
// `recording` that `alignment` maps onto it (samples the recording lacks count as 0), with
// times in reference seconds. Near 1 shows that stretch, e.g. a note, is whole in the
// recording; 0 when the reference stretch is empty or constant.
double SegmentCorrelation(const std::vector<float>& reference, const std::vector<float>& recording,
                          const Alignment& alignment, int sampleRate, double startSeconds, double lengthSeconds);

}  // namespace support
