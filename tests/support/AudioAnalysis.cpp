#include "tests/support/AudioAnalysis.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace support {
namespace {

constexpr double kPi = 3.14159265358979323846;

double DbToAmplitude(double db)
{
    return std::pow(10.0, db / 20.0);
}

double AmplitudeToDb(double amplitude)
{
    return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -std::numeric_limits<double>::infinity();
}

size_t NextPowerOfTwo(size_t n)
{
    size_t p = 1;
    while (p < n) {
        p <<= 1;
    }
    return p;
}

// Running sums for a Pearson correlation, in double so that minutes of audio stay exact enough.
struct PearsonSums {
    double n = 0, a = 0, b = 0, aa = 0, bb = 0, ab = 0;

    void Add(double x, double y)
    {
        n += 1;
        a += x;
        b += y;
        aa += x * x;
        bb += y * y;
        ab += x * y;
    }

    double Value() const { return Pearson(n, a, b, aa, bb, ab); }

    static double Pearson(double n, double a, double b, double aa, double bb, double ab)
    {
        if (n < 2) {
            return 0.0;
        }
        const double va = aa - a * a / n;
        const double vb = bb - b * b / n;
        if (!(va > 0.0) || !(vb > 0.0)) {
            return 0.0;
        }
        return std::clamp((ab - a * b / n) / std::sqrt(va * vb), -1.0, 1.0);
    }
};

// Pearson correlation of reference[i] with recording[i + lag] over the part both have.
double CorrelationAtLag(const std::vector<float>& reference, const std::vector<float>& recording, long lag)
{
    const long begin = std::max(0L, -lag);
    const long end = std::min(static_cast<long>(reference.size()), static_cast<long>(recording.size()) - lag);
    PearsonSums sums;
    for (long i = begin; i < end; ++i) {
        sums.Add(reference[i], recording[i + lag]);
    }
    return sums.Value();
}

// After a forward FFT of a + i·b (a, b real), Σ_k conj(A[k])·B[k] term k; its inverse FFT is
// the cross-correlation Σ a[n]·b[n + lag]. Written out because std::complex's operator*
// guards against infinities and is many times slower.
std::complex<double> CrossPower(const std::vector<std::complex<double>>& z, size_t k)
{
    const size_t n = z.size();
    const std::complex<double> zk = z[k];
    const std::complex<double> zm = z[(n - k) & (n - 1)];
    // A = (Z[k] + conj(Z[n−k]))/2, B = (Z[k] − conj(Z[n−k]))/(2i)
    const double aRe = 0.5 * (zk.real() + zm.real());
    const double aIm = 0.5 * (zk.imag() - zm.imag());
    const double bRe = 0.5 * (zk.imag() + zm.imag());
    const double bIm = -0.5 * (zk.real() - zm.real());
    return {aRe * bRe + aIm * bIm, aRe * bIm - aIm * bRe};
}

// RMS of each `block` samples (the last block may be shorter).
std::vector<double> Envelope(const std::vector<float>& x, size_t block)
{
    std::vector<double> envelope((x.size() + block - 1) / block);
    for (size_t b = 0; b < envelope.size(); ++b) {
        const size_t begin = b * block;
        const size_t end = std::min(x.size(), begin + block);
        double sum = 0.0;
        for (size_t i = begin; i < end; ++i) {
            sum += static_cast<double>(x[i]) * x[i];
        }
        envelope[b] = std::sqrt(sum / static_cast<double>(end - begin));
    }
    return envelope;
}

std::vector<double> PrefixSums(const std::vector<double>& x, bool squared)
{
    std::vector<double> sums(x.size() + 1, 0.0);
    for (size_t i = 0; i < x.size(); ++i) {
        sums[i + 1] = sums[i] + (squared ? x[i] * x[i] : x[i]);
    }
    return sums;
}

// Pearson correlation of the envelopes at every block lag in [lagLo, lagHi] (index lag − lagLo);
// lags that overlap fewer than `minOverlap` blocks score −2 so that they are never chosen.
std::vector<double> EnvelopeCorrelations(const std::vector<double>& a, const std::vector<double>& b, long lagLo,
                                         long lagHi, long minOverlap)
{
    const long na = static_cast<long>(a.size());
    const long nb = static_cast<long>(b.size());
    const size_t n = NextPowerOfTwo(a.size() + b.size());
    std::vector<std::complex<double>> z(n);
    for (size_t i = 0; i < n; ++i) {
        z[i] = {i < a.size() ? a[i] : 0.0, i < b.size() ? b[i] : 0.0};
    }
    const Fft fft(n);
    fft.Transform(z, false);
    std::vector<std::complex<double>> cross(n);
    for (size_t k = 0; k < n; ++k) {
        cross[k] = CrossPower(z, k);
    }
    fft.Transform(cross, true);

    const std::vector<double> pa = PrefixSums(a, false), paa = PrefixSums(a, true);
    const std::vector<double> pb = PrefixSums(b, false), pbb = PrefixSums(b, true);
    std::vector<double> scores(static_cast<size_t>(lagHi - lagLo + 1), -2.0);
    for (long lag = lagLo; lag <= lagHi; ++lag) {
        const long begin = std::max(0L, -lag);
        const long end = std::min(na, nb - lag);
        if (end - begin < minOverlap) {
            continue;
        }
        const double ab = cross[static_cast<size_t>(lag >= 0 ? lag : static_cast<long>(n) + lag)].real();
        scores[static_cast<size_t>(lag - lagLo)] =
            PearsonSums::Pearson(static_cast<double>(end - begin), pa[end] - pa[begin], pb[end + lag] - pb[begin + lag],
                                 paa[end] - paa[begin], pbb[end + lag] - pbb[begin + lag], ab);
    }
    return scores;
}

// The lag in [lagLo, lagHi] with the largest full-rate cross-correlation Σ reference[i]·
// recording[i + lag], computed block by block with `fft`: each block of the reference is
// transformed together with the stretch of the recording every lag in the window can reach,
// and the cross powers of all blocks add up to the correlation of the whole overlap.
long BestLagNear(const std::vector<float>& reference, const std::vector<float>& recording, long lagLo, long lagHi,
                 const Fft& fft)
{
    const long n = static_cast<long>(fft.size());
    const long span = lagHi - lagLo + 1;
    const long blockLength = n - span + 1;
    const long nRef = static_cast<long>(reference.size());
    const long nRec = static_cast<long>(recording.size());
    const long begin = std::max(0L, -lagHi);
    const long end = std::min(nRef, nRec - lagLo);
    std::vector<std::complex<double>> z(static_cast<size_t>(n));
    std::vector<std::complex<double>> sum(static_cast<size_t>(n), 0.0);
    for (long start = begin; start < end; start += blockLength) {
        const long length = std::min(blockLength, end - start);
        for (long j = 0; j < n; ++j) {
            const long at = start + lagLo + j;
            const double re = j < length ? reference[static_cast<size_t>(start + j)] : 0.0;
            const double im = j < length + span - 1 && at >= 0 && at < nRec ? recording[static_cast<size_t>(at)] : 0.0;
            z[static_cast<size_t>(j)] = {re, im};
        }
        fft.Transform(z, false);
        for (long k = 0; k < n; ++k) {
            sum[static_cast<size_t>(k)] += CrossPower(z, static_cast<size_t>(k));
        }
    }
    fft.Transform(sum, true);
    long best = 0;
    for (long j = 1; j < span; ++j) {
        if (sum[static_cast<size_t>(j)].real() > sum[static_cast<size_t>(best)].real()) {
            best = j;
        }
    }
    return lagLo + best;
}

}  // namespace

std::vector<float> ToMono(const std::vector<float>& interleaved, int channels)
{
    if (channels <= 0) {
        return {};
    }
    const size_t c = static_cast<size_t>(channels);
    std::vector<float> mono(interleaved.size() / c);
    for (size_t frame = 0; frame < mono.size(); ++frame) {
        double sum = 0.0;
        for (size_t ch = 0; ch < c; ++ch) {
            sum += interleaved[frame * c + ch];
        }
        mono[frame] = static_cast<float>(sum / static_cast<double>(c));
    }
    return mono;
}

Fft::Fft(size_t size) : m_size(size)
{
    if (size == 0 || (size & (size - 1)) != 0) {
        throw std::invalid_argument("FFT size must be a power of two");
    }
    m_twiddles.resize(size / 2);
    for (size_t k = 0; k < size / 2; ++k) {
        const double angle = -2.0 * kPi * static_cast<double>(k) / static_cast<double>(size);
        m_twiddles[k] = {std::cos(angle), std::sin(angle)};
    }
    m_reversed.resize(size);
    int bits = 0;
    while ((size_t{1} << bits) < size) {
        ++bits;
    }
    for (size_t i = 0; i < size; ++i) {
        size_t r = 0;
        for (int b = 0; b < bits; ++b) {
            r |= ((i >> b) & 1) << (bits - 1 - b);
        }
        m_reversed[i] = r;
    }
}

void Fft::Transform(std::vector<std::complex<double>>& data, bool inverse) const
{
    if (data.size() != m_size) {
        throw std::invalid_argument("FFT input has the wrong size");
    }
    for (size_t i = 0; i < m_size; ++i) {
        if (i < m_reversed[i]) {
            std::swap(data[i], data[m_reversed[i]]);
        }
    }
    const double sign = inverse ? -1.0 : 1.0;
    for (size_t length = 2; length <= m_size; length <<= 1) {
        const size_t half = length / 2;
        const size_t step = m_size / length;
        for (size_t start = 0; start < m_size; start += length) {
            for (size_t k = 0; k < half; ++k) {
                const std::complex<double> w = m_twiddles[k * step];
                const double wRe = w.real();
                const double wIm = sign * w.imag();
                std::complex<double>& a = data[start + k];
                std::complex<double>& b = data[start + k + half];
                const double tRe = b.real() * wRe - b.imag() * wIm;
                const double tIm = b.real() * wIm + b.imag() * wRe;
                b = {a.real() - tRe, a.imag() - tIm};
                a = {a.real() + tRe, a.imag() + tIm};
            }
        }
    }
    if (inverse) {
        const double scale = 1.0 / static_cast<double>(m_size);
        for (std::complex<double>& value : data) {
            value = {value.real() * scale, value.imag() * scale};
        }
    }
}

Alignment Align(const std::vector<float>& reference, const std::vector<float>& recording, int sampleRate,
                double maxOffsetSeconds)
{
    if (reference.empty() || recording.empty() || sampleRate <= 0) {
        return {};
    }
    const long nRef = static_cast<long>(reference.size());
    const long nRec = static_cast<long>(recording.size());
    const long maxLag = std::max(0L, std::lround(maxOffsetSeconds * sampleRate));
    const long lo = std::max(-maxLag, -(nRef - 1));
    const long hi = std::min(maxLag, nRec - 1);
    if (lo > hi) {
        return {};
    }

    // Coarse: 1 ms envelopes are short enough to correlate over all lags at once, and their
    // shape does not depend on the phase of the waveform within a block.
    const long block = std::max(1, sampleRate / 1000);
    const std::vector<double> envRef = Envelope(reference, static_cast<size_t>(block));
    const std::vector<double> envRec = Envelope(recording, static_cast<size_t>(block));
    auto silent = [](const std::vector<double>& envelope) {
        return std::all_of(envelope.begin(), envelope.end(), [](double e) { return e == 0.0; });
    };
    if (silent(envRef) || silent(envRec)) {
        return {};
    }
    const long nEnvRef = static_cast<long>(envRef.size());
    const long nEnvRec = static_cast<long>(envRec.size());
    const long blockLo = std::max(-(nEnvRef - 1), lo / block - 1);
    const long blockHi = std::min(nEnvRec - 1, hi / block + 1);
    const long minOverlap = std::max(2L, std::min(nEnvRef, nEnvRec) / 2);
    const std::vector<double> scores = EnvelopeCorrelations(envRef, envRec, blockLo, blockHi, minOverlap);

    // Envelope peaks can be broad or repeat with the music, so a few of the best local
    // maxima are checked at full rate.
    std::vector<std::pair<double, long>> peaks;
    for (long i = 0; i < static_cast<long>(scores.size()); ++i) {
        const double s = scores[static_cast<size_t>(i)];
        const bool left = i == 0 || s >= scores[static_cast<size_t>(i - 1)];
        const bool right = i + 1 == static_cast<long>(scores.size()) || s > scores[static_cast<size_t>(i + 1)];
        if (s > 0.0 && left && right) {
            peaks.emplace_back(s, blockLo + i);
        }
    }
    std::sort(peaks.begin(), peaks.end(), [](const auto& x, const auto& y) { return x.first > y.first; });
    constexpr size_t kMaxCandidates = 3;
    constexpr long kMargin = 3;  // blocks either side searched at full rate
    std::vector<long> candidates;
    for (const auto& peak : peaks) {
        if (candidates.size() == kMaxCandidates || peak.first < 0.5 * peaks.front().first) {
            break;
        }
        const bool distinct = std::all_of(candidates.begin(), candidates.end(),
                                          [&](long c) { return std::abs(c - peak.second) > kMargin; });
        if (distinct) {
            candidates.push_back(peak.second);
        }
    }
    if (candidates.empty()) {
        // A flat envelope (a steady tone, say) gives nothing to go on; look around no offset.
        candidates.push_back(std::clamp(0L, blockLo, blockHi));
    }

    // Fine: full-rate cross-correlation a few blocks either side of each candidate.
    const Fft fft(NextPowerOfTwo(static_cast<size_t>(std::max(8192L, 4 * (2 * kMargin * block + 1)))));
    Alignment best{0, -2.0};
    for (const long candidate : candidates) {
        const long lagLo = std::max(lo, (candidate - kMargin) * block);
        const long lagHi = std::min(hi, (candidate + kMargin) * block);
        if (lagLo > lagHi) {
            continue;
        }
        const long lag = BestLagNear(reference, recording, lagLo, lagHi, fft);
        const double correlation = CorrelationAtLag(reference, recording, lag);
        if (correlation > best.correlation) {
            best = {lag, correlation};
        }
    }
    if (best.correlation < -1.0) {
        return {};
    }
    return best;
}

std::vector<float> AlignedCopy(const std::vector<float>& recording, long offsetFrames, size_t length)
{
    std::vector<float> aligned(length, 0.0f);
    for (size_t i = 0; i < length; ++i) {
        const long at = static_cast<long>(i) + offsetFrames;
        if (at >= 0 && at < static_cast<long>(recording.size())) {
            aligned[i] = recording[static_cast<size_t>(at)];
        }
    }
    return aligned;
}

std::vector<double> Onsets(const std::vector<float>& mono, int sampleRate, double thresholdDb,
                           double minSilenceSeconds)
{
    std::vector<double> onsets;
    if (sampleRate <= 0) {
        return onsets;
    }
    const double threshold = DbToAmplitude(thresholdDb);
    const size_t minSilence = static_cast<size_t>(std::max(0L, std::lround(minSilenceSeconds * sampleRate)));
    size_t silent = minSilence;  // the start of the signal counts as silence
    for (size_t i = 0; i < mono.size(); ++i) {
        if (std::fabs(mono[i]) > threshold) {
            if (silent >= minSilence) {
                onsets.push_back(static_cast<double>(i) / sampleRate);
            }
            silent = 0;
        } else {
            ++silent;
        }
    }
    return onsets;
}

std::vector<Gap> FindGaps(const std::vector<float>& reference, const std::vector<float>& alignedRecording,
                          int sampleRate, const GapOptions& options)
{
    const size_t n = reference.size();
    if (n == 0 || sampleRate <= 0) {
        return {};
    }
    auto recordingAt = [&](size_t i) -> double { return i < alignedRecording.size() ? alignedRecording[i] : 0.0; };
    std::vector<double> refEnergy(n + 1, 0.0), recEnergy(n + 1, 0.0);
    for (size_t i = 0; i < n; ++i) {
        refEnergy[i + 1] = refEnergy[i] + static_cast<double>(reference[i]) * reference[i];
        recEnergy[i + 1] = recEnergy[i] + recordingAt(i) * recordingAt(i);
    }
    // Window starts every `hop`, plus one flush with the end so that the tail is covered.
    auto windowStarts = [n](size_t length, size_t hop) {
        std::vector<size_t> starts;
        for (size_t s = 0; s + length <= n; s += hop) {
            starts.push_back(s);
        }
        if (starts.empty() || starts.back() + length < n) {
            starts.push_back(n - length);
        }
        return starts;
    };
    auto samples = [sampleRate](double seconds) {
        return static_cast<size_t>(std::max(1L, std::lround(seconds * sampleRate)));
    };

    const size_t window = std::min(n, samples(options.windowSeconds));
    const std::vector<size_t> starts = windowStarts(window, samples(options.hopSeconds));
    const double soundMeanSquare = std::pow(10.0, options.soundDb / 10.0);
    auto hasSound = [&](size_t start, size_t length) {
        return (refEnergy[start + length] - refEnergy[start]) / static_cast<double>(length) > soundMeanSquare;
    };

    std::vector<double> ratios;
    for (const size_t s : starts) {
        if (hasSound(s, window)) {
            ratios.push_back((recEnergy[s + window] - recEnergy[s]) / (refEnergy[s + window] - refEnergy[s]));
        }
    }
    if (ratios.empty()) {
        return {};
    }
    std::nth_element(ratios.begin(), ratios.begin() + static_cast<long>(ratios.size() / 2), ratios.end());
    double gain = ratios[ratios.size() / 2];
    if (gain < 1e-6) {
        gain = 1.0;
    }
    const double dropFactor = gain * std::pow(10.0, -options.dropDb / 10.0);

    std::vector<std::pair<size_t, size_t>> spans;
    for (const size_t s : starts) {
        const double ref = refEnergy[s + window] - refEnergy[s];
        const double rec = recEnergy[s + window] - recEnergy[s];
        if (hasSound(s, window) && rec < dropFactor * ref) {
            spans.emplace_back(s, s + window);
        }
    }
    if (options.minCorrelation > 0.0) {
        const size_t length = std::min(n, samples(options.correlationWindowSeconds));
        for (const size_t s : windowStarts(length, std::max<size_t>(1, length / 4))) {
            if (!hasSound(s, length)) {
                continue;
            }
            PearsonSums sums;
            for (size_t i = s; i < s + length; ++i) {
                sums.Add(reference[i], recordingAt(i));
            }
            if (sums.Value() < options.minCorrelation) {
                spans.emplace_back(s, s + length);
            }
        }
    }

    std::sort(spans.begin(), spans.end());
    std::vector<Gap> gaps;
    auto report = [&](size_t begin, size_t end) {
        const double length = static_cast<double>(end - begin) / sampleRate;
        if (length >= options.minLengthSeconds) {
            gaps.push_back({static_cast<double>(begin) / sampleRate, length});
        }
    };
    for (size_t i = 0; i < spans.size();) {
        size_t begin = spans[i].first;
        size_t end = spans[i].second;
        for (++i; i < spans.size() && spans[i].first <= end; ++i) {
            end = std::max(end, spans[i].second);
        }
        report(begin, end);
    }
    return gaps;
}

double PeakDbfs(const std::vector<float>& samples)
{
    double peak = 0.0;
    for (const float s : samples) {
        peak = std::max(peak, static_cast<double>(std::fabs(s)));
    }
    return AmplitudeToDb(peak);
}

size_t ClippedSamples(const std::vector<float>& samples, double threshold)
{
    return static_cast<size_t>(std::count_if(samples.begin(), samples.end(),
                                             [threshold](float s) { return std::fabs(s) >= threshold; }));
}

double RmsDbfs(const std::vector<float>& samples, size_t from, size_t to)
{
    to = std::min(to, samples.size());
    if (from >= to) {
        return -std::numeric_limits<double>::infinity();
    }
    double sum = 0.0;
    for (size_t i = from; i < to; ++i) {
        sum += static_cast<double>(samples[i]) * samples[i];
    }
    return AmplitudeToDb(std::sqrt(sum / static_cast<double>(to - from)));
}

double LastSoundTime(const std::vector<float>& mono, int sampleRate, double thresholdDb)
{
    const double threshold = DbToAmplitude(thresholdDb);
    for (size_t i = mono.size(); i-- > 0;) {
        if (std::fabs(mono[i]) > threshold) {
            return static_cast<double>(i) / sampleRate;
        }
    }
    return -1.0;
}

double SegmentCorrelation(const std::vector<float>& reference, const std::vector<float>& recording,
                          const Alignment& alignment, int sampleRate, double startSeconds, double lengthSeconds)
{
    const long nRef = static_cast<long>(reference.size());
    const long nRec = static_cast<long>(recording.size());
    const long begin = std::clamp(std::lround(startSeconds * sampleRate), 0L, nRef);
    const long end = std::clamp(std::lround((startSeconds + lengthSeconds) * sampleRate), begin, nRef);
    PearsonSums sums;
    for (long i = begin; i < end; ++i) {
        const long at = i + alignment.offsetFrames;
        sums.Add(reference[static_cast<size_t>(i)], at >= 0 && at < nRec ? recording[static_cast<size_t>(at)] : 0.0);
    }
    return sums.Value();
}

}  // namespace support
