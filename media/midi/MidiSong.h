#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace media {

// One channel message of a song (note, controller, program, pressure, pitch bend) at its
// time in seconds from the start, with the song's tempo map already applied.
struct MidiEvent {
    double seconds;
    uint8_t status;  // 0x80..0xEF: the kind in the high nibble, the channel in the low one.
    uint8_t data1;
    uint8_t data2;   // 0 for the kinds that carry one data byte.
};

// A Standard MIDI File (or one wrapped in RIFF RMID), checked and loaded through libsmf.
// Broken files are refused with a short reason instead of reaching libsmf, which is not
// robust against them. A loaded song never changes, so any thread may read it at once.
class MidiSong {
public:
    // Why a load failed, for callers that report errors by kind.
    enum class Failure { None, NotFound, Unreadable, NotMidi, Corrupt, Unsupported };

    // Loads a file by its UTF-8 path. Returns null and a short English reason on failure.
    static std::unique_ptr<MidiSong> Load(const std::string& path, std::string* error,
                                          Failure* failure = nullptr);
    // Loads the bytes of a file held in memory; the same checks as Load.
    static std::unique_ptr<MidiSong> LoadFromMemory(const uint8_t* data, size_t size,
                                                    std::string* error,
                                                    Failure* failure = nullptr);
    // True when the file starts like a MIDI file ("MThd", or a RIFF RMID whose data chunk
    // holds one). Reads only the first few kilobytes; says nothing about the rest.
    static bool LooksLikeMidi(const std::string& path);

    // The song's own length (up to its last end-of-track), tempo changes applied.
    double LengthSeconds() const { return lengthSeconds_; }
    // Every channel message in the order of playback.
    const std::vector<MidiEvent>& Events() const { return events_; }

private:
    MidiSong(double lengthSeconds, std::vector<MidiEvent> events);

    double lengthSeconds_;
    std::vector<MidiEvent> events_;
};

}  // namespace media
