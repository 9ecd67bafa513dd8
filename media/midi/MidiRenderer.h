#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace media {

class MidiSong;

// Synthesises a song with its own fluidsynth synth into interleaved stereo S16LE.
// At the song's own end it lets every note go, renders on until the release and reverb
// have faded below about -90 dBFS (at most 15 s more), then reports Finished. A soft
// limiter just under -1 dBFS keeps dense songs from clipping.
//
// One thread at a time may use a renderer; separate renderers are independent and may run
// on different threads. The song must outlive the renderer.
class MidiRenderer {
public:
    static constexpr int kDefaultSampleRate = 44100;
    static constexpr const char* kDefaultSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";

    // Returns null and a short English reason when the SoundFont is missing or unusable.
    static std::unique_ptr<MidiRenderer> Create(const MidiSong& song, int sampleRate,
                                                const std::string& soundFontPath,
                                                std::string* error);
    ~MidiRenderer();
    MidiRenderer(const MidiRenderer&) = delete;
    MidiRenderer& operator=(const MidiRenderer&) = delete;

    // Writes up to `frames` stereo frames to `out` (2 * frames samples) and returns how
    // many it wrote: all of them, except at the very end of the ring-out.
    size_t Render(int16_t* out, size_t frames);
    bool Finished() const;
    // Restarts playback at `seconds` with a fresh synth: restores the programs,
    // controllers and pitch bends in force at that time (notes already started are not
    // restarted) and resumes from there. SeekTo(0) then plays exactly what a new renderer
    // plays.
    void SeekTo(double seconds);
    // Frames rendered since the start of the song (a seek moves it to the target).
    uint64_t FramePosition() const;
    int SampleRate() const;

private:
    struct Impl;
    explicit MidiRenderer(std::unique_ptr<Impl> impl);
    // Create without its guard against running out of memory.
    static std::unique_ptr<MidiRenderer> CreateOrFail(const MidiSong& song, int sampleRate,
                                                      const std::string& soundFontPath,
                                                      std::string* error);

    std::unique_ptr<Impl> impl_;
};

}  // namespace media
