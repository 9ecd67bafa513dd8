#pragma once
// Writes small Standard MIDI Files for tests, and knows when each of their notes sounds,
// computed from its own tempo changes without libsmf, so tests can check libsmf against it.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct TempoChange {
    uint32_t tick;
    uint32_t microsecondsPerQuarter;
};

// A note as written, with the times at which it starts and ends.
struct WrittenNote {
    int channel;
    int key;
    int velocity;
    uint32_t tick;
    uint32_t durationTicks;
    double seconds;
    double endSeconds;
};

class MidiWriter {
public:
    // Format 0 (one track) or 1 (several tracks played together); ticks per quarter note.
    MidiWriter(int format, int ticksPerQuarter);

    // Adds a track and returns its index. Format 0 files have exactly one.
    int AddTrack();
    void Tempo(int track, uint32_t tick, uint32_t microsecondsPerQuarter);
    void ProgramChange(int track, uint32_t tick, int channel, int program);
    void Controller(int track, uint32_t tick, int channel, int controller, int value);
    // `value` from 0 to 16383; 8192 is no bend.
    void PitchBend(int track, uint32_t tick, int channel, int value);
    void NoteOn(int track, uint32_t tick, int channel, int key, int velocity);
    void NoteOff(int track, uint32_t tick, int channel, int key);
    // A note on and its note off `duration` ticks later.
    void Note(int track, uint32_t tick, uint32_t duration, int channel, int key, int velocity);
    void Chord(int track, uint32_t tick, uint32_t duration, int channel,
               const std::vector<int>& keys, int velocity);
    // Moves the track's end later than its last event (a rest at the end of the song).
    void EndOfTrack(int track, uint32_t tick);
    // Omits repeated status bytes, as many real files do.
    void UseRunningStatus(bool on) { runningStatus_ = on; }

    std::vector<uint8_t> Bytes() const;
    bool Save(const std::string& path) const;

    int TicksPerQuarter() const { return ticksPerQuarter_; }
    // The time of a tick under this file's tempo changes (120 bpm until the first one).
    double SecondsAt(uint32_t tick) const;
    static double SecondsAt(uint32_t tick, int ticksPerQuarter, std::vector<TempoChange> changes);
    // The time of the latest end of track: the song's own length.
    double LengthSeconds() const;
    // Every note written, in the order of their start.
    std::vector<WrittenNote> Notes() const;

    // A song of about nine seconds: a rest of half a second, then piano, strings, bass and
    // drums on their own tracks through five tempo changes, ending on a held chord.
    static MidiWriter TestSong();
    // Sixteen channels of loud full chords at once: far more than full scale before the
    // limiter.
    static MidiWriter DenseSong();

private:
    struct Event {
        uint32_t tick;
        int order;  // Among events at one tick: tempo, note offs, controls, note ons.
        std::vector<uint8_t> bytes;
    };
    struct Track {
        std::vector<Event> events;
        uint32_t endTick = 0;
    };
    void Add(int track, uint32_t tick, int order, std::vector<uint8_t> bytes);

    int format_;
    int ticksPerQuarter_;
    bool runningStatus_ = false;
    std::vector<Track> tracks_;
    std::vector<TempoChange> tempos_;
    std::vector<WrittenNote> notes_;
};

}  // namespace testsupport
