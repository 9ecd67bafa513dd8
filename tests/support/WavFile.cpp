#include "tests/support/WavFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace support {
namespace {

// The 14 bytes that follow the 16-bit subformat code in the GUIDs KSDATAFORMAT_SUBTYPE_PCM and
// KSDATAFORMAT_SUBTYPE_IEEE_FLOAT ({0000000X-0000-0010-8000-00AA00389B71}, as stored).
constexpr unsigned char kSubformatGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                  0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t U16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t U32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// A chunk id made readable for a message (ids of broken files may hold any bytes).
std::string Id(const unsigned char* p)
{
    std::string id;
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = p[i];
        if (c >= 0x20 && c < 0x7F) {
            id += static_cast<char>(c);
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            id += "\\x";
            id += kHex[c >> 4];
            id += kHex[c & 15];
        }
    }
    return id;
}

std::string Hex(uint32_t value)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kHex[value & 15]);
        value >>= 4;
    } while (value != 0);
    return "0x" + text;
}

bool Fail(std::string* problem, const std::string& text)
{
    if (problem) {
        *problem = text;
    }
    return false;
}

bool SupportedBits(uint16_t formatTag, uint16_t bits)
{
    if (formatTag == kWavePcm) {
        return bits == 8 || bits == 16 || bits == 24 || bits == 32;
    }
    if (formatTag == kWaveFloat) {
        return bits == 32 || bits == 64;
    }
    return false;
}

// Checks the fmt chunk's body and fills the format fields of `info`.
bool ParseFormat(const unsigned char* body, uint32_t size, WavInfo* info, std::string* problem)
{
    if (size < 16) {
        return Fail(problem, "fmt chunk is too short: " + std::to_string(size) + " bytes, at least 16 needed");
    }
    uint16_t tag = U16(body);
    info->channels = U16(body + 2);
    info->sampleRate = U32(body + 4);
    info->byteRate = U32(body + 8);
    info->blockAlign = U16(body + 12);
    info->bitsPerSample = U16(body + 14);
    info->extensible = tag == kWaveExtensible;
    if (info->extensible) {
        if (size < 40) {
            return Fail(problem, "WAVE_FORMAT_EXTENSIBLE fmt chunk is too short: " + std::to_string(size) +
                                     " bytes, 40 needed");
        }
        const uint16_t extraSize = U16(body + 16);
        if (extraSize < 22) {
            return Fail(problem, "WAVE_FORMAT_EXTENSIBLE fmt chunk has cbSize " + std::to_string(extraSize) +
                                     ", at least 22 needed");
        }
        const uint16_t validBits = U16(body + 18);
        if (validBits == 0 || validBits > info->bitsPerSample) {
            return Fail(problem, "WAVE_FORMAT_EXTENSIBLE valid bits per sample is " + std::to_string(validBits) +
                                     " with a container of " + std::to_string(info->bitsPerSample) + " bits");
        }
        const uint16_t subformat = U16(body + 24);
        if (std::memcmp(body + 26, kSubformatGuidTail, sizeof kSubformatGuidTail) != 0 ||
            (subformat != kWavePcm && subformat != kWaveFloat)) {
            return Fail(problem, "WAVE_FORMAT_EXTENSIBLE subformat is neither PCM nor IEEE float");
        }
        tag = static_cast<uint16_t>(subformat);
    }
    info->formatTag = tag;
    if (tag != kWavePcm && tag != kWaveFloat) {
        return Fail(problem, "unsupported format tag " + Hex(tag) + " (only PCM 1, IEEE float 3 and extensible)");
    }
    if (info->channels == 0) {
        return Fail(problem, "fmt chunk says 0 channels");
    }
    if (info->sampleRate == 0) {
        return Fail(problem, "fmt chunk says a sample rate of 0");
    }
    if (!SupportedBits(tag, info->bitsPerSample)) {
        return Fail(problem, "unsupported " + std::string(tag == kWavePcm ? "PCM" : "float") + " sample size of " +
                                 std::to_string(info->bitsPerSample) + " bits");
    }
    const uint32_t expectedAlign = static_cast<uint32_t>(info->channels) * (info->bitsPerSample / 8);
    if (info->blockAlign != expectedAlign) {
        return Fail(problem, "blockAlign is " + std::to_string(info->blockAlign) + ", expected " +
                                 std::to_string(expectedAlign) + " (channels × bits/8)");
    }
    const uint64_t expectedRate = static_cast<uint64_t>(info->sampleRate) * info->blockAlign;
    if (info->byteRate != expectedRate) {
        return Fail(problem, "byteRate is " + std::to_string(info->byteRate) + ", expected " +
                                 std::to_string(expectedRate) + " (sample rate × blockAlign)");
    }
    return true;
}

float DecodeSample(const unsigned char* p, uint16_t formatTag, uint16_t bits)
{
    if (formatTag == kWaveFloat) {
        if (bits == 32) {
            const uint32_t raw = U32(p);
            float value;
            std::memcpy(&value, &raw, sizeof value);
            return value;
        }
        const uint64_t raw = static_cast<uint64_t>(U32(p)) | (static_cast<uint64_t>(U32(p + 4)) << 32);
        double value;
        std::memcpy(&value, &raw, sizeof value);
        return static_cast<float>(value);
    }
    switch (bits) {
    case 8:
        return (static_cast<int>(p[0]) - 128) / 128.0f;
    case 16:
        return static_cast<int16_t>(U16(p)) / 32768.0f;
    case 24: {
        int32_t value = p[0] | (p[1] << 8) | (p[2] << 16);
        if (value & 0x800000) {
            value -= 0x1000000;
        }
        return static_cast<float>(value / 8388608.0);
    }
    default:
        return static_cast<float>(static_cast<int32_t>(U32(p)) / 2147483648.0);
    }
}

void PutU16(std::string& out, uint32_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void PutU32(std::string& out, uint32_t value)
{
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

void EncodeSample(std::string& out, float sample, uint16_t formatTag, uint16_t bits)
{
    if (formatTag == kWaveFloat) {
        if (bits == 32) {
            uint32_t raw;
            std::memcpy(&raw, &sample, sizeof raw);
            PutU32(out, raw);
        } else {
            const double value = sample;
            uint64_t raw;
            std::memcpy(&raw, &value, sizeof raw);
            PutU32(out, static_cast<uint32_t>(raw));
            PutU32(out, static_cast<uint32_t>(raw >> 32));
        }
        return;
    }
    const double full = std::ldexp(1.0, bits - 1);
    double scaled = std::nearbyint(static_cast<double>(sample) * full);
    scaled = std::clamp(scaled, -full, full - 1.0);
    const int64_t value = static_cast<int64_t>(scaled);
    if (bits == 8) {
        out += static_cast<char>(value + 128);
        return;
    }
    const uint32_t raw = static_cast<uint32_t>(value);
    for (int byte = 0; byte < bits / 8; ++byte) {
        out += static_cast<char>((raw >> (8 * byte)) & 0xFF);
    }
}

}  // namespace

bool ReadWav(const std::string& path, WavInfo* info, std::vector<float>* samples, std::string* problem)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Fail(problem, "cannot open " + path);
    }
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const uint64_t fileSize = bytes.size();
    const unsigned char* const file = bytes.data();
    if (fileSize == 0) {
        return Fail(problem, "file is empty");
    }
    if (fileSize < 12) {
        return Fail(problem, "file is too short for a RIFF header: " + std::to_string(fileSize) + " bytes");
    }
    if (std::memcmp(file, "RIFF", 4) != 0) {
        return Fail(problem, "not a RIFF file: it starts with '" + Id(file) + "'");
    }
    if (std::memcmp(file + 8, "WAVE", 4) != 0) {
        return Fail(problem, "RIFF form type is '" + Id(file + 8) + "', not 'WAVE'");
    }
    const uint32_t riffSize = U32(file + 4);
    if (riffSize == 0 || riffSize == 0xFFFFFFFFu) {
        return Fail(problem, "RIFF size is " + Hex(riffSize) + " in a file of " + std::to_string(fileSize) +
                                 " bytes: the header was never finished (unfinished write?)");
    }

    WavInfo found;
    bool haveFormat = false;
    const unsigned char* data = nullptr;
    bool lastChunkOdd = false;
    bool lastPadMissing = false;
    uint64_t pos = 12;
    while (pos < fileSize) {
        if (fileSize - pos < 8) {
            return Fail(problem, std::to_string(fileSize - pos) + " stray bytes after the last chunk at offset " +
                                     std::to_string(pos));
        }
        const unsigned char* header = file + pos;
        const std::string id = Id(header);
        const uint32_t size = U32(header + 4);
        const uint64_t present = fileSize - pos - 8;
        const bool isData = id == "data";
        if (isData && (size == 0xFFFFFFFFu || (size == 0 && present > 0))) {
            return Fail(problem, "data chunk size is " + Hex(size) + " but " + std::to_string(present) +
                                     " bytes follow: the header was never finished (unfinished write?)");
        }
        if (size > present) {
            if (isData) {
                return Fail(problem, "data chunk is truncated: its header says " + std::to_string(size) +
                                         " bytes, only " + std::to_string(present) + " are present");
            }
            return Fail(problem, "chunk '" + id + "' at offset " + std::to_string(pos) + " says " +
                                     std::to_string(size) + " bytes, only " + std::to_string(present) +
                                     " are present");
        }
        const unsigned char* body = header + 8;
        if (id == "fmt ") {
            if (haveFormat) {
                return Fail(problem, "more than one fmt chunk");
            }
            if (!ParseFormat(body, size, &found, problem)) {
                return false;
            }
            haveFormat = true;
        } else if (isData) {
            if (data) {
                return Fail(problem, "more than one data chunk");
            }
            if (!haveFormat) {
                return Fail(problem, "no fmt chunk before the data chunk");
            }
            data = body;
            found.dataBytes = size;
        }
        // Chunks are word-aligned: an odd-sized one is followed by a pad byte.
        lastChunkOdd = (size & 1) != 0;
        lastPadMissing = lastChunkOdd && size == present;
        pos += 8 + static_cast<uint64_t>(size) + (lastChunkOdd ? 1 : 0);
    }
    if (!haveFormat) {
        return Fail(problem, "no fmt chunk");
    }
    if (!data) {
        return Fail(problem, "no data chunk");
    }
    // Writers disagree on whether the final pad byte is written and counted; allow either.
    const uint64_t riffEnd = 8 + static_cast<uint64_t>(riffSize);
    const bool riffSizeFits = riffEnd == fileSize || (lastChunkOdd && !lastPadMissing && riffEnd + 1 == fileSize) ||
                              (lastPadMissing && riffEnd == fileSize + 1);
    if (!riffSizeFits) {
        return Fail(problem, "RIFF size is " + std::to_string(riffSize) + " but the file holds " +
                                 std::to_string(fileSize - 8) + " bytes after the RIFF header");
    }
    if (found.dataBytes % found.blockAlign != 0) {
        return Fail(problem, "data size " + std::to_string(found.dataBytes) + " is not a whole number of " +
                                 std::to_string(found.blockAlign) + "-byte frames");
    }
    found.frames = found.dataBytes / found.blockAlign;

    if (samples) {
        const uint64_t count = found.frames * found.channels;
        const unsigned bytesPerSample = found.bitsPerSample / 8;
        samples->resize(count);
        for (uint64_t i = 0; i < count; ++i) {
            (*samples)[i] = DecodeSample(data + i * bytesPerSample, found.formatTag, found.bitsPerSample);
        }
    }
    if (info) {
        *info = found;
    }
    if (problem) {
        problem->clear();
    }
    return true;
}

bool WriteWav(const std::string& path, const WavInfo& info, const std::vector<float>& samples)
{
    if (info.channels == 0 || info.sampleRate == 0 || !SupportedBits(info.formatTag, info.bitsPerSample) ||
        samples.size() % info.channels != 0) {
        return false;
    }
    const uint32_t blockAlign = static_cast<uint32_t>(info.channels) * (info.bitsPerSample / 8);
    const uint64_t dataBytes = static_cast<uint64_t>(samples.size()) * (info.bitsPerSample / 8);
    const uint32_t formatSize = info.extensible ? 40 : (info.formatTag == kWavePcm ? 16 : 18);
    const uint64_t pad = dataBytes & 1;
    const uint64_t riffSize = 4 + (8 + formatSize) + (8 + dataBytes + pad);
    if (riffSize > 0xFFFFFFFFu || static_cast<uint64_t>(info.sampleRate) * blockAlign > 0xFFFFFFFFu) {
        return false;
    }

    std::string out;
    out.reserve(static_cast<size_t>(riffSize + 8));
    out += "RIFF";
    PutU32(out, static_cast<uint32_t>(riffSize));
    out += "WAVE";
    out += "fmt ";
    PutU32(out, formatSize);
    PutU16(out, info.extensible ? kWaveExtensible : info.formatTag);
    PutU16(out, info.channels);
    PutU32(out, info.sampleRate);
    PutU32(out, info.sampleRate * blockAlign);
    PutU16(out, blockAlign);
    PutU16(out, info.bitsPerSample);
    if (info.extensible) {
        PutU16(out, 22);
        PutU16(out, info.bitsPerSample);
        // Front left/right for stereo, front centre for mono; other layouts stay unassigned.
        PutU32(out, info.channels == 2 ? 0x3 : (info.channels == 1 ? 0x4 : 0));
        PutU16(out, info.formatTag);  // the subformat GUID: its code, then the fixed tail
        out.append(reinterpret_cast<const char*>(kSubformatGuidTail), sizeof kSubformatGuidTail);
    } else if (formatSize == 18) {
        PutU16(out, 0);  // non-PCM formats carry cbSize
    }
    out += "data";
    PutU32(out, static_cast<uint32_t>(dataBytes));
    for (const float sample : samples) {
        EncodeSample(out, sample, info.formatTag, info.bitsPerSample);
    }
    if (pad) {
        out += '\0';
    }

    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    file.close();
    return static_cast<bool>(file);
}

}  // namespace support
