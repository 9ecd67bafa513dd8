#include "media/midi/MidiSong.h"

#include <glib.h>
#include <smf.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <utility>

namespace media {
namespace {

using Failure = MidiSong::Failure;

// Real songs are far below these; larger values only come from damaged or hostile files,
// and libsmf keeps times and sizes in plain ints.
constexpr size_t kMaxFileBytes = 16u << 20;
constexpr uint64_t kMaxTick = 1u << 30;
constexpr size_t kMaxEvents = 2000000;
constexpr double kMaxSeconds = 6 * 3600.0;
constexpr size_t kSniffBytes = 64 * 1024;

struct Problem {
    Failure failure = Failure::None;
    std::string reason;
};

bool Refuse(Problem* problem, Failure failure, std::string reason) {
    problem->failure = failure;
    problem->reason = std::move(reason);
    return false;
}

uint32_t ReadBe32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint16_t ReadBe16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
uint32_t ReadLe32(const uint8_t* p) {
    return (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHolder = std::unique_ptr<std::FILE, FileCloser>;

// libsmf 1.3 deletes a song's events one at a time, searching the track's array for each:
// hours for a million events, seconds for fifty thousand. With that version the events are
// freed here in one pass, exactly as its smf_event_delete frees them (the event from
// calloc, its bytes from malloc), and smf_delete then frees the emptied song.
void DeleteSmf(smf_t* smf) {
    static const bool knownLayout = std::strcmp(smf_get_version(), "1.3") == 0;
    for (int number = 1; knownLayout && number <= smf->number_of_tracks; ++number) {
        smf_track_t* track = smf_get_track_by_number(smf, number);
        if (!track || !track->events_array) continue;
        for (guint i = 0; i < track->events_array->len; ++i) {
            auto* event = static_cast<smf_event_t*>(g_ptr_array_index(track->events_array, i));
            std::free(event->midi_buffer);
            std::free(event);
        }
        g_ptr_array_set_size(track->events_array, 0);
        track->number_of_events = 0;
    }
    smf_delete(smf);
}

struct SmfDeleter {
    void operator()(smf_t* smf) const { DeleteSmf(smf); }
};
using SmfHolder = std::unique_ptr<smf_t, SmfDeleter>;

// What the checks keep of a track: channel messages and tempo changes at their ticks.
// Texts and time signatures change nothing that is heard; SysEx messages (mostly device
// set-ups) are left out too, which keeps libsmf to the part of the format it reads well.
struct KeptEvent {
    uint32_t tick;
    uint8_t bytes[6];
    uint8_t length;
};

struct KeptTrack {
    std::vector<KeptEvent> events;
    uint32_t endTick = 0;
};

struct CheckedSong {
    int ticksPerQuarter = 0;
    uint32_t smpteTempo = 0;  // Set when the file counts time in SMPTE frames.
    std::vector<KeptTrack> tracks;
};

enum class Vlq { Ok, Truncated, Corrupt };

// A variable-length quantity of at most four bytes, as the file format allows.
Vlq ReadVlq(const uint8_t* p, size_t size, size_t* i, uint32_t* value) {
    uint32_t result = 0;
    for (int count = 0;; ++count) {
        if (*i >= size) return Vlq::Truncated;
        if (count == 4) return Vlq::Corrupt;
        uint8_t byte = p[(*i)++];
        result = (result << 7) | (byte & 0x7F);
        if (!(byte & 0x80)) break;
    }
    *value = result;
    return Vlq::Ok;
}

// RIFF RMID wraps a Standard MIDI File in its "data" chunk; the rest of the wrapper is
// of no use for playback.
bool UnwrapRiff(const uint8_t** data, size_t* size, Problem* problem) {
    const uint8_t* d = *data;
    size_t n = *size;
    if (n < 4 || std::memcmp(d, "RIFF", 4) != 0) return true;
    if (n < 12 || std::memcmp(d + 8, "RMID", 4) != 0)
        return Refuse(problem, Failure::NotMidi, "not a MIDI file");
    size_t offset = 12;
    while (n - offset >= 8) {
        uint64_t length = ReadLe32(d + offset + 4);
        size_t body = offset + 8;
        if (length > n - body) return Refuse(problem, Failure::Corrupt, "the RMID file is truncated");
        if (std::memcmp(d + offset, "data", 4) == 0) {
            *data = d + body;
            *size = size_t(length);
            return true;
        }
        offset = body + size_t(length);
        if (length & 1) offset = std::min(n, offset + 1);  // RIFF pads odd chunks.
    }
    return Refuse(problem, Failure::NotMidi, "the RMID file holds no MIDI data");
}

bool ParseTrack(const uint8_t* p, size_t size, int number, bool keepTempo, KeptTrack* track,
                size_t* totalEvents, Problem* problem) {
    const std::string where = " (track " + std::to_string(number) + ")";
    auto truncated = [&] {
        return Refuse(problem, Failure::Corrupt, "the MIDI file is truncated" + where);
    };
    auto corrupt = [&] {
        return Refuse(problem, Failure::Corrupt, "damaged MIDI data" + where);
    };
    auto readLength = [&](size_t* i, uint32_t* value) {
        Vlq vlq = ReadVlq(p, size, i, value);
        if (vlq == Vlq::Truncated) return truncated();
        if (vlq == Vlq::Corrupt) return corrupt();
        if (*value > size - *i) return truncated();
        return true;
    };

    size_t i = 0;
    uint64_t tick = 0;
    uint8_t running = 0;
    while (i < size) {
        uint32_t delta = 0;
        Vlq vlq = ReadVlq(p, size, &i, &delta);
        if (vlq == Vlq::Truncated) return truncated();
        if (vlq == Vlq::Corrupt) return corrupt();
        tick += delta;
        if (tick > kMaxTick)
            return Refuse(problem, Failure::Corrupt, "the MIDI file's times are out of range" + where);
        if (i >= size) return truncated();

        uint8_t status = p[i];
        if (status < 0x80) {
            // Running status: the previous channel message's status applies again. Writers
            // that keep it across meta events are common, so that is accepted too.
            if (running == 0) return corrupt();
            status = running;
        } else {
            ++i;
        }

        if (status < 0xF0) {
            size_t count = (status & 0xE0) == 0xC0 ? 1 : 2;
            if (size - i < count) return truncated();
            KeptEvent event{uint32_t(tick), {status, p[i], count == 2 ? p[i + 1] : uint8_t(0)},
                            uint8_t(count + 1)};
            if (event.bytes[1] >= 0x80 || event.bytes[2] >= 0x80) return corrupt();
            i += count;
            running = status;
            track->events.push_back(event);
            if (++*totalEvents > kMaxEvents)
                return Refuse(problem, Failure::Unsupported, "the MIDI file has too many events");
        } else if (status == 0xFF) {
            if (i >= size) return truncated();
            uint8_t type = p[i++];
            uint32_t length = 0;
            if (!readLength(&i, &length)) return false;
            if (type == 0x2F) {
                // End of track: whatever follows inside the chunk is not part of the song.
                track->endTick = uint32_t(tick);
                return true;
            }
            if (type == 0x51 && length == 3 && keepTempo) {
                uint32_t tempo = (uint32_t(p[i]) << 16) | (uint32_t(p[i + 1]) << 8) | p[i + 2];
                if (tempo > 0) {
                    track->events.push_back(
                        {uint32_t(tick), {0xFF, 0x51, 0x03, p[i], p[i + 1], p[i + 2]}, 6});
                }
            }
            i += length;
        } else if (status == 0xF0 || status == 0xF7) {
            uint32_t length = 0;
            if (!readLength(&i, &length)) return false;
            i += length;
        } else {
            // System common and real-time bytes have no place in a file; those of a known
            // size are skipped, the undefined ones leave no way to find the next event.
            size_t count = 0;
            switch (status) {
            case 0xF1: case 0xF3: count = 1; break;
            case 0xF2: count = 2; break;
            case 0xF6: case 0xF8: case 0xFA: case 0xFB: case 0xFC: case 0xFE: count = 0; break;
            default: return corrupt();
            }
            if (size - i < count) return truncated();
            for (size_t k = 0; k < count; ++k)
                if (p[i + k] >= 0x80) return corrupt();
            i += count;
        }
        track->endTick = uint32_t(tick);
    }
    // A track without an end-of-track event ends with its last event.
    return true;
}

bool CheckSmf(const uint8_t* d, size_t n, CheckedSong* song, Problem* problem) {
    if (n == 0) return Refuse(problem, Failure::NotMidi, "the file is empty");
    if (n < 4 || std::memcmp(d, "MThd", 4) != 0)
        return Refuse(problem, Failure::NotMidi, "not a MIDI file");
    if (n < 14) return Refuse(problem, Failure::Corrupt, "the MIDI file is truncated");
    uint32_t headerLength = ReadBe32(d + 4);
    if (headerLength < 6) return Refuse(problem, Failure::Corrupt, "the MIDI header is damaged");
    if (headerLength > n - 8) return Refuse(problem, Failure::Corrupt, "the MIDI file is truncated");
    uint16_t format = ReadBe16(d + 8);
    uint16_t trackCount = ReadBe16(d + 10);
    uint16_t division = ReadBe16(d + 12);
    if (format > 2) return Refuse(problem, Failure::Corrupt, "the MIDI header is damaged");
    if (format == 2)
        return Refuse(problem, Failure::Unsupported,
                      "MIDI format 2 (independent sequences) is not supported");
    if (trackCount == 0) return Refuse(problem, Failure::Corrupt, "the MIDI file has no tracks");

    if (division & 0x8000) {
        // SMPTE time: ticks are fractions of video frames. It becomes a fixed tempo whose
        // quarter note lasts one second at the nominal frame rate; 29 means 29.97 frames.
        int fps = 256 - (division >> 8);
        int resolution = division & 0xFF;
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || resolution == 0)
            return Refuse(problem, Failure::Corrupt, "the MIDI header is damaged");
        song->ticksPerQuarter = (fps == 29 ? 30 : fps) * resolution;
        song->smpteTempo = fps == 29 ? 1001001 : 1000000;
    } else {
        if (division == 0) return Refuse(problem, Failure::Corrupt, "the MIDI header is damaged");
        song->ticksPerQuarter = division;
    }

    size_t offset = 8 + size_t(headerLength);
    size_t totalEvents = 0;
    while (song->tracks.size() < trackCount) {
        if (n - offset < 8) return Refuse(problem, Failure::Corrupt, "the MIDI file is truncated");
        uint64_t length = ReadBe32(d + offset + 4);
        size_t body = offset + 8;
        if (length > n - body) return Refuse(problem, Failure::Corrupt, "the MIDI file is truncated");
        // Chunks of other kinds are allowed by the format and are skipped.
        if (std::memcmp(d + offset, "MTrk", 4) == 0) {
            KeptTrack track;
            if (!ParseTrack(d + body, size_t(length), int(song->tracks.size()) + 1,
                            song->smpteTempo == 0, &track, &totalEvents, problem))
                return false;
            song->tracks.push_back(std::move(track));
        }
        offset = body + size_t(length);
    }
    return true;
}

void WriteVlq(std::vector<uint8_t>* out, uint32_t v) {
    uint8_t bytes[5];
    int count = 0;
    do {
        bytes[count++] = v & 0x7F;
        v >>= 7;
    } while (v != 0);
    while (count > 1) out->push_back(bytes[--count] | 0x80);
    out->push_back(bytes[0]);
}

// The checked song as a plain, well-formed file of one track: explicit status bytes, exact
// lengths, one end-of-track. libsmf reads only this, never the original bytes. Merging the
// tracks keeps what is heard (tempo changes apply to all tracks anyway, and events at one
// tick keep the order of their tracks, as libsmf would play them) and spares libsmf, which
// looks through every track for each next event, a cost that grows with tracks times events.
std::vector<uint8_t> WriteCanonical(const CheckedSong& song) {
    std::vector<KeptEvent> merged;
    uint32_t endTick = 0;
    for (const KeptTrack& track : song.tracks) {
        merged.insert(merged.end(), track.events.begin(), track.events.end());
        endTick = std::max(endTick, track.endTick);
    }
    std::stable_sort(merged.begin(), merged.end(),
                     [](const KeptEvent& a, const KeptEvent& b) { return a.tick < b.tick; });

    std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1,
                                uint8_t(song.ticksPerQuarter >> 8), uint8_t(song.ticksPerQuarter),
                                'M', 'T', 'r', 'k', 0, 0, 0, 0};
    const size_t bodyAt = out.size();
    if (song.smpteTempo != 0) {
        uint32_t tempo = song.smpteTempo;
        out.insert(out.end(), {0, 0xFF, 0x51, 0x03, uint8_t(tempo >> 16), uint8_t(tempo >> 8), uint8_t(tempo)});
    }
    uint32_t previous = 0;
    for (const KeptEvent& event : merged) {
        WriteVlq(&out, event.tick - previous);
        out.insert(out.end(), event.bytes, event.bytes + event.length);
        previous = event.tick;
    }
    WriteVlq(&out, std::max(endTick, previous) - previous);
    out.insert(out.end(), {0xFF, 0x2F, 0x00});
    uint32_t length = uint32_t(out.size() - bodyAt);
    for (int k = 0; k < 4; ++k) out[bodyAt - 4 + k] = uint8_t(length >> (24 - 8 * k));
    return out;
}

// libsmf reports through GLib logging in its own domain. While it loads, its messages are
// kept from stderr; the first one becomes part of the reason when loading fails. GLib's
// handlers are process-wide, so loads take turns.
class LibsmfLogCapture {
public:
    LibsmfLogCapture() : lock_(Mutex()) {
        handler_ = g_log_set_handler(
            "libsmf", GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
            &LibsmfLogCapture::OnMessage, this);
    }
    ~LibsmfLogCapture() { g_log_remove_handler("libsmf", handler_); }
    LibsmfLogCapture(const LibsmfLogCapture&) = delete;
    LibsmfLogCapture& operator=(const LibsmfLogCapture&) = delete;

    const std::string& FirstMessage() const { return first_; }

private:
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    static void OnMessage(const gchar*, GLogLevelFlags, const gchar* message, gpointer self) {
        auto* capture = static_cast<LibsmfLogCapture*>(self);
        if (capture->first_.empty() && message) capture->first_ = message;
    }

    std::lock_guard<std::mutex> lock_;
    guint handler_ = 0;
    std::string first_;
};

// Everything that loading does; false with the problem filled in when it fails.
bool LoadChecked(const uint8_t* data, size_t size, double* length, std::vector<MidiEvent>* events,
                 Problem* problem) {
    if (!data) size = 0;
    if (size > kMaxFileBytes)
        return Refuse(problem, Failure::Unsupported, "the file is too large for a MIDI song");
    CheckedSong checked;
    if (!UnwrapRiff(&data, &size, problem) || !CheckSmf(data, size, &checked, problem)) return false;
    std::vector<uint8_t> canonical = WriteCanonical(checked);
    checked = CheckedSong();

    LibsmfLogCapture capture;
    SmfHolder smf(smf_load_from_memory(canonical.data(), int(canonical.size())));
    if (!smf) {
        std::string reason = "damaged MIDI data";
        if (!capture.FirstMessage().empty()) reason += " (" + capture.FirstMessage() + ")";
        return Refuse(problem, Failure::Corrupt, reason);
    }
    *length = smf_get_length_seconds(smf.get());
    if (!std::isfinite(*length) || *length < 0) return Refuse(problem, Failure::Corrupt, "damaged MIDI data");
    if (*length > kMaxSeconds) return Refuse(problem, Failure::Unsupported, "the song is longer than six hours");

    smf_rewind(smf.get());
    double previous = 0;
    while (smf_event_t* event = smf_get_next_event(smf.get())) {
        const unsigned char* b = event->midi_buffer;
        if (event->midi_buffer_length < 2 || b[0] < 0x80 || b[0] >= 0xF0) continue;
        // Times never run backwards in a checked file; the clamp guards the renderer anyway.
        double seconds = std::max(previous, std::isfinite(event->time_seconds) ? event->time_seconds : 0);
        previous = seconds;
        events->push_back({seconds, b[0], b[1], event->midi_buffer_length >= 3 ? b[2] : uint8_t(0)});
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, Problem* problem) {
    FileHolder file(std::fopen(path.c_str(), "rbe"));
    if (!file) {
        int code = errno;
        if (code == ENOENT || code == ENOTDIR) return Refuse(problem, Failure::NotFound, "file not found");
        return Refuse(problem, Failure::Unreadable,
                      "cannot open the file (" + std::generic_category().message(code) + ")");
    }
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode))
        return Refuse(problem, Failure::Unreadable, "not a regular file");
    if (uint64_t(info.st_size) > kMaxFileBytes)
        return Refuse(problem, Failure::Unsupported, "the file is too large for a MIDI song");
    bytes->resize(size_t(info.st_size));
    size_t got = bytes->empty() ? 0 : std::fread(bytes->data(), 1, bytes->size(), file.get());
    if (got != bytes->size() && std::ferror(file.get()))
        return Refuse(problem, Failure::Unreadable, "cannot read the file");
    bytes->resize(got);
    return true;
}

}  // namespace

MidiSong::MidiSong(double lengthSeconds, std::vector<MidiEvent> events)
    : lengthSeconds_(lengthSeconds), events_(std::move(events)) {}

std::unique_ptr<MidiSong> MidiSong::LoadFromMemory(const uint8_t* data, size_t size,
                                                   std::string* error, Failure* failure) {
    Problem problem;
    double length = 0;
    std::vector<MidiEvent> events;
    bool loaded = false;
    // Running out of memory is the one exception loading can meet; it becomes a reason.
    try {
        loaded = LoadChecked(data, size, &length, &events, &problem);
    } catch (const std::bad_alloc&) {
        loaded = Refuse(&problem, Failure::Unsupported, "not enough memory for this MIDI file");
    }
    if (error) *error = problem.reason;
    if (failure) *failure = problem.failure;
    return loaded ? std::unique_ptr<MidiSong>(new MidiSong(length, std::move(events))) : nullptr;
}

std::unique_ptr<MidiSong> MidiSong::Load(const std::string& path, std::string* error,
                                         Failure* failure) {
    Problem problem;
    std::vector<uint8_t> bytes;
    bool read = false;
    try {
        read = ReadWholeFile(path, &bytes, &problem);
    } catch (const std::bad_alloc&) {
        read = Refuse(&problem, Failure::Unsupported, "not enough memory for this MIDI file");
    }
    if (read) return LoadFromMemory(bytes.data(), bytes.size(), error, failure);
    if (error) *error = problem.reason;
    if (failure) *failure = problem.failure;
    return nullptr;
}

bool MidiSong::LooksLikeMidi(const std::string& path) {
    FileHolder file(std::fopen(path.c_str(), "rbe"));
    if (!file) return false;
    std::vector<uint8_t> head(kSniffBytes);
    size_t n = std::fread(head.data(), 1, head.size(), file.get());
    const uint8_t* d = head.data();
    if (n >= 4 && std::memcmp(d, "MThd", 4) == 0) return true;
    if (n < 12 || std::memcmp(d, "RIFF", 4) != 0 || std::memcmp(d + 8, "RMID", 4) != 0) return false;
    uint64_t offset = 12;
    while (offset + 12 <= n) {
        uint32_t length = ReadLe32(d + offset + 4);
        if (std::memcmp(d + offset, "data", 4) == 0) return std::memcmp(d + offset + 8, "MThd", 4) == 0;
        offset += 8 + uint64_t(length) + (length & 1);
    }
    return false;
}

}  // namespace media
