#include "tests/support/MidiWriter.h"

#include <algorithm>
#include <fstream>

namespace testsupport {
namespace {

void PutBe32(std::vector<uint8_t>* out, uint32_t v) {
    out->insert(out->end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

void PutVlq(std::vector<uint8_t>* out, uint32_t v) {
    uint8_t bytes[5];
    int count = 0;
    do {
        bytes[count++] = v & 0x7F;
        v >>= 7;
    } while (v != 0);
    while (count > 1) out->push_back(bytes[--count] | 0x80);
    out->push_back(bytes[0]);
}

constexpr uint32_t kDefaultTempo = 500000;  // 120 quarter notes a minute.

}  // namespace

MidiWriter::MidiWriter(int format, int ticksPerQuarter)
    : format_(format), ticksPerQuarter_(ticksPerQuarter) {}

int MidiWriter::AddTrack() {
    tracks_.emplace_back();
    return int(tracks_.size()) - 1;
}

void MidiWriter::Add(int track, uint32_t tick, int order, std::vector<uint8_t> bytes) {
    Track& t = tracks_.at(size_t(track));
    t.events.push_back({tick, order, std::move(bytes)});
    t.endTick = std::max(t.endTick, tick);
}

void MidiWriter::Tempo(int track, uint32_t tick, uint32_t microsecondsPerQuarter) {
    uint32_t v = microsecondsPerQuarter;
    Add(track, tick, 0, {0xFF, 0x51, 0x03, uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
    tempos_.push_back({tick, v});
}

void MidiWriter::ProgramChange(int track, uint32_t tick, int channel, int program) {
    Add(track, tick, 2, {uint8_t(0xC0 | channel), uint8_t(program)});
}

void MidiWriter::Controller(int track, uint32_t tick, int channel, int controller, int value) {
    Add(track, tick, 2, {uint8_t(0xB0 | channel), uint8_t(controller), uint8_t(value)});
}

void MidiWriter::PitchBend(int track, uint32_t tick, int channel, int value) {
    Add(track, tick, 2, {uint8_t(0xE0 | channel), uint8_t(value & 0x7F), uint8_t((value >> 7) & 0x7F)});
}

void MidiWriter::NoteOn(int track, uint32_t tick, int channel, int key, int velocity) {
    Add(track, tick, 3, {uint8_t(0x90 | channel), uint8_t(key), uint8_t(velocity)});
}

void MidiWriter::NoteOff(int track, uint32_t tick, int channel, int key) {
    Add(track, tick, 1, {uint8_t(0x80 | channel), uint8_t(key), 0x40});
}

void MidiWriter::Note(int track, uint32_t tick, uint32_t duration, int channel, int key,
                      int velocity) {
    NoteOn(track, tick, channel, key, velocity);
    NoteOff(track, tick + duration, channel, key);
    notes_.push_back({channel, key, velocity, tick, duration, 0.0, 0.0});
}

void MidiWriter::Chord(int track, uint32_t tick, uint32_t duration, int channel,
                       const std::vector<int>& keys, int velocity) {
    for (int key : keys) Note(track, tick, duration, channel, key, velocity);
}

void MidiWriter::EndOfTrack(int track, uint32_t tick) {
    Track& t = tracks_.at(size_t(track));
    t.endTick = std::max(t.endTick, tick);
}

std::vector<uint8_t> MidiWriter::Bytes() const {
    std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
    out.insert(out.end(), {0, uint8_t(format_), uint8_t(tracks_.size() >> 8),
                           uint8_t(tracks_.size()), uint8_t(ticksPerQuarter_ >> 8),
                           uint8_t(ticksPerQuarter_)});
    for (const Track& track : tracks_) {
        std::vector<Event> events = track.events;
        std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
            return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
        });
        std::vector<uint8_t> body;
        uint32_t previous = 0;
        uint8_t running = 0;
        for (const Event& event : events) {
            PutVlq(&body, event.tick - previous);
            previous = event.tick;
            uint8_t status = event.bytes[0];
            bool channelMessage = status < 0xF0;
            size_t from = runningStatus_ && channelMessage && status == running ? 1 : 0;
            body.insert(body.end(), event.bytes.begin() + long(from), event.bytes.end());
            running = channelMessage ? status : 0;
        }
        PutVlq(&body, track.endTick - previous);
        body.insert(body.end(), {0xFF, 0x2F, 0x00});
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        PutBe32(&out, uint32_t(body.size()));
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

bool MidiWriter::Save(const std::string& path) const {
    std::vector<uint8_t> bytes = Bytes();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

double MidiWriter::SecondsAt(uint32_t tick, int ticksPerQuarter, std::vector<TempoChange> changes) {
    std::stable_sort(changes.begin(), changes.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    double seconds = 0;
    uint32_t at = 0;
    uint32_t tempo = kDefaultTempo;
    for (const TempoChange& change : changes) {
        if (change.tick >= tick) break;
        seconds += double(change.tick - at) * tempo / (1e6 * ticksPerQuarter);
        at = change.tick;
        tempo = change.microsecondsPerQuarter;
    }
    return seconds + double(tick - at) * tempo / (1e6 * ticksPerQuarter);
}

double MidiWriter::SecondsAt(uint32_t tick) const {
    return SecondsAt(tick, ticksPerQuarter_, tempos_);
}

double MidiWriter::LengthSeconds() const {
    uint32_t end = 0;
    for (const Track& track : tracks_) end = std::max(end, track.endTick);
    return SecondsAt(end);
}

std::vector<WrittenNote> MidiWriter::Notes() const {
    std::vector<WrittenNote> notes = notes_;
    for (WrittenNote& note : notes) {
        note.seconds = SecondsAt(note.tick);
        note.endSeconds = SecondsAt(note.tick + note.durationTicks);
    }
    std::stable_sort(notes.begin(), notes.end(),
                     [](const WrittenNote& a, const WrittenNote& b) { return a.tick < b.tick; });
    return notes;
}

MidiWriter MidiWriter::TestSong() {
    constexpr uint32_t q = 480;
    MidiWriter song(1, int(q));
    int conductor = song.AddTrack();
    int piano = song.AddTrack();
    int strings = song.AddTrack();
    int bass = song.AddTrack();
    int drums = song.AddTrack();

    // One beat of rest at 120 bpm: the music starts after half a second.
    song.Tempo(conductor, 0, 500000);
    song.Tempo(conductor, 5 * q, 666667);   // 90 bpm
    song.Tempo(conductor, 9 * q, 400000);   // 150 bpm
    song.Tempo(conductor, 13 * q, 600000);  // 100 bpm
    song.Tempo(conductor, 15 * q, 750000);  // 80 bpm, slowing into the last chord

    song.ProgramChange(piano, 0, 0, 0);      // Acoustic grand piano
    song.ProgramChange(strings, 0, 1, 48);   // String ensemble
    song.ProgramChange(bass, 0, 2, 33);      // Finger bass
    for (int channel : {0, 1, 2}) song.Controller(piano, 0, channel, 7, 100);

    const int melody[] = {72, 74, 76, 77, 79, 77, 76, 74, 72, 76, 79, 84, 83, 79, 77, 74};
    for (int i = 0; i < 16; ++i) song.Note(piano, q + uint32_t(i) * q, q - 40, 0, melody[i], 96);

    const std::vector<std::vector<int>> chords = {{60, 64, 67}, {57, 60, 65}, {55, 59, 62, 67}, {60, 64, 67}};
    for (int bar = 0; bar < 4; ++bar)
        song.Chord(strings, q + uint32_t(bar) * 4 * q, 4 * q - 20, 1, chords[size_t(bar)], 80);
    const int roots[] = {36, 41, 43, 36};
    for (int bar = 0; bar < 4; ++bar)
        for (int beat = 0; beat < 4; ++beat)
            song.Note(bass, q + uint32_t(bar * 4 + beat) * q, q / 2, 2, roots[bar] + (beat == 2 ? 7 : 0), 100);
    for (int beat = 0; beat < 16; ++beat) {
        uint32_t at = q + uint32_t(beat) * q;
        song.Note(drums, at, q / 4, 9, beat % 2 == 0 ? 36 : 38, 100);  // Kick and snare
        song.Note(drums, at + q / 2, q / 4, 9, 42, 70);                  // Closed hi-hat
    }
    // The held last chord: two slow beats on piano and strings together.
    song.Chord(piano, 17 * q, 2 * q, 0, {48, 60, 64, 67, 72}, 90);
    song.Chord(strings, 17 * q, 2 * q, 1, {48, 55, 64, 67}, 80);
    song.Note(bass, 17 * q, 2 * q, 2, 36, 100);
    return song;
}

MidiWriter MidiWriter::DenseSong() {
    constexpr uint32_t q = 480;
    MidiWriter song(1, int(q));
    const int programs[] = {0, 16, 19, 24, 30, 48, 49, 56, 57, 61, 0, 62, 80, 81, 87, 91};
    for (int channel = 0; channel < 16; ++channel) {
        int track = song.AddTrack();
        if (channel != 9) song.ProgramChange(track, 0, channel, programs[channel]);
        song.Controller(track, 0, channel, 7, 127);
        song.Controller(track, 0, channel, 11, 127);
        for (int beat = 0; beat < 8; ++beat) {
            uint32_t at = uint32_t(beat) * q;
            if (channel == 9) {
                song.Chord(track, at, q / 2, 9, {36, 38, 49, 57}, 127);
            } else {
                int root = 36 + 12 * (channel % 4);
                song.Chord(track, at, q, channel, {root, root + 4, root + 7, root + 12, root + 16, root + 19}, 127);
            }
        }
    }
    return song;
}

}  // namespace testsupport
