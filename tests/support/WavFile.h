#pragma once
// Reads WAV files strictly, so that a recording the program left half-written or with an
// inconsistent header fails a test with a clear reason instead of being read leniently,
// and writes small WAV files for fixtures.

#include <cstdint>
#include <string>
#include <vector>

namespace support {

constexpr uint16_t kWavePcm = 1;            // integer samples
constexpr uint16_t kWaveFloat = 3;          // IEEE float samples
constexpr uint16_t kWaveExtensible = 0xFFFE;

struct WavInfo {
    uint16_t formatTag = kWavePcm;  // the sample format: kWavePcm or kWaveFloat, also when
                                    // the header is WAVE_FORMAT_EXTENSIBLE (see `extensible`)
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
    uint16_t blockAlign = 0;        // bytes per frame
    uint32_t byteRate = 0;
    uint64_t dataBytes = 0;         // size of the data chunk's payload
    uint64_t frames = 0;            // dataBytes / blockAlign
    bool extensible = false;        // the fmt chunk is WAVE_FORMAT_EXTENSIBLE
};

// Reads and checks `path`. Accepted: integer PCM of 8 (unsigned), 16, 24 and 32 bits,
// IEEE float of 32 and 64 bits, either plain or as WAVE_FORMAT_EXTENSIBLE with a PCM or
// float subformat. Checked: the RIFF size equals the file size − 8 (one pad byte after an
// odd-sized last chunk may be counted or not), every chunk fits in the file, exactly one
// fmt chunk comes before exactly one data chunk, the data size is the bytes present and a
// whole number of frames, blockAlign = channels × bits/8 and byteRate = rate × blockAlign.
// Chunks other than fmt and data (LIST, fact, ...) are skipped.
// On success fills `info` and, when `samples` is not null, the interleaved samples scaled
// to -1..1 (integers are divided by 2^(bits-1)), and empties `problem`. On failure returns
// false and, when `problem` is not null, says what is wrong. Any pointer may be null.
bool ReadWav(const std::string& path, WavInfo* info, std::vector<float>* samples, std::string* problem);

// Writes interleaved `samples` as a canonical WAV file (RIFF, fmt, data). Uses formatTag
// (kWavePcm with 8/16/24/32 bits, kWaveFloat with 32/64 bits), channels, sampleRate,
// bitsPerSample and extensible from `info`; the other fields are computed. Integer samples
// are rounded and clipped to the format's range. Returns false for an unsupported format,
// a sample count that is not a whole number of frames, or a file that cannot be written.
bool WriteWav(const std::string& path, const WavInfo& info, const std::vector<float>& samples);

}  // namespace support
