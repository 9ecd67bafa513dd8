#include "media/midi/MidiRenderer.h"

#include <fluidsynth.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "media/midi/MidiSong.h"

namespace media {
namespace {

// The synth's gain puts ordinary General MIDI songs a few dB under full scale (a four-part
// song with drums peaks near -2.5 dBFS, an eight-part one near -5 dBFS); the limiter takes
// care of the dense ones. fluidsynth's own default of 0.2 leaves them some 8 dB quieter.
constexpr double kSynthGain = 0.4;
// The limiter's soft knee starts at -3 dBFS and approaches -1 dBFS without reaching it.
constexpr float kKnee = 0.70794578f;
constexpr float kCeiling = 0.89125094f;
constexpr double kLimiterReleaseSeconds = 0.25;
// The ring-out ends once every output sample has stayed within one step of zero (-90.3
// dBFS, the quietest sound 16 bits can hold) this long, or after the cap.
constexpr int kSilentSample = 1;
constexpr double kQuietSeconds = 0.010;
constexpr double kMaxRingOutSeconds = 15.0;
// Frames asked of the synth at once; bounded by the scratch buffer.
constexpr size_t kChunkFrames = 4096;

struct FluidSettingsDeleter {
    void operator()(fluid_settings_t* settings) const { delete_fluid_settings(settings); }
};
struct FluidSynthDeleter {
    void operator()(fluid_synth_t* synth) const { delete_fluid_synth(synth); }
};
using FluidSettingsHolder = std::unique_ptr<fluid_settings_t, FluidSettingsDeleter>;
using FluidSynthHolder = std::unique_ptr<fluid_synth_t, FluidSynthDeleter>;

void ForwardFluidLog(int, const char* message, void*) {
    g_log("fluidsynth", G_LOG_LEVEL_DEBUG, "%s", message ? message : "");
}

// fluidsynth prints to stderr by default; its messages go to GLib's debug log instead,
// where G_MESSAGES_DEBUG=fluidsynth shows them. Its log functions are process-wide.
void QuietFluidLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, ForwardFluidLog, nullptr);
    });
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHolder = std::unique_ptr<std::FILE, FileCloser>;

bool IsSoundFont2(const std::string& path) {
    FileHolder file(std::fopen(path.c_str(), "rbe"));
    if (!file) return false;
    char head[12] = {};
    size_t got = std::fread(head, 1, sizeof head, file.get());
    return got == sizeof head && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "sfbk", 4) == 0;
}

float SoftLimit(float envelope) {
    if (envelope <= kKnee) return envelope;
    float room = kCeiling - kKnee;
    return kKnee + room * std::tanh((envelope - kKnee) / room);
}

int16_t ToSample(float value) {
    long sample = std::lrint(value * 32767.0f);
    return int16_t(std::clamp(sample, -32768L, 32767L));
}

}  // namespace

struct MidiRenderer::Impl {
    const MidiSong* song = nullptr;
    int rate = 0;
    std::string soundFont;
    FluidSettingsHolder settings;
    FluidSynthHolder synth;
    int64_t block = 64;           // The synth applies events only between blocks this long.
    size_t cursor = 0;            // The next event to dispatch.
    int64_t position = 0;         // Frames handed out, counted from the start of the song.
    int64_t origin = 0;           // A frame at which the synth's blocks begin.
    int64_t synthFrames = 0;      // Frames taken from the synth since `origin`.
    int64_t lengthFrame = 0;      // The song's own end.
    bool released = false;        // All notes were let go at the end of the song.
    int64_t ringOutFrames = 0;    // Frames rendered since then.
    int64_t quietFrames = 0;      // Frames in a row within one step of silence since then.
    bool finished = false;
    float limiterEnvelope = 0;    // The recent peak, falling back at the limiter's release.
    float limiterRelease = 0;     // How much of the envelope is left after one frame.
    std::vector<float> scratch;   // The synth's stereo output before limiting.

    int64_t EventFrame(size_t index) const {
        return std::llround(song->Events()[index].seconds * rate);
    }

    // fluidsynth renders in fixed blocks and takes events only between them, so an event
    // is dispatched at the block boundary nearest its exact frame: at most half a block
    // (0.7 ms at 44.1 kHz) away from it.
    int64_t OnBlock(int64_t frame) const {
        if (frame <= origin) return origin;
        return origin + (frame - origin + block / 2) / block * block;
    }

    void Dispatch(const MidiEvent& event) {
        fluid_synth_t* s = synth.get();
        int channel = event.status & 0x0F;
        switch (event.status & 0xF0) {
        case 0x80: fluid_synth_noteoff(s, channel, event.data1); break;
        case 0x90:
            if (event.data2 == 0) fluid_synth_noteoff(s, channel, event.data1);
            else fluid_synth_noteon(s, channel, event.data1, event.data2);
            break;
        case 0xA0: fluid_synth_key_pressure(s, channel, event.data1, event.data2); break;
        case 0xB0: fluid_synth_cc(s, channel, event.data1, event.data2); break;
        case 0xC0: fluid_synth_program_change(s, channel, event.data1); break;
        case 0xD0: fluid_synth_channel_pressure(s, channel, event.data1); break;
        case 0xE0: fluid_synth_pitch_bend(s, channel, event.data1 | (event.data2 << 7)); break;
        default: break;
        }
    }

    // At the song's end every note is let go, pedals included, so that what rings on is a
    // natural release and reverb tail rather than a note the file forgot to end.
    void ReleaseAll() {
        for (int channel = 0; channel < 16; ++channel) {
            fluid_synth_cc(synth.get(), channel, 64, 0);
            fluid_synth_cc(synth.get(), channel, 66, 0);
            fluid_synth_all_notes_off(synth.get(), channel);
        }
        released = true;
    }

    // The frame of the next thing to do (an event, or the release at the end), or -1.
    int64_t NextActionFrame() const {
        if (cursor < song->Events().size()) return OnBlock(EventFrame(cursor));
        if (!released) return OnBlock(lengthFrame);
        return -1;
    }

    void DoDueActions() {
        const auto& events = song->Events();
        for (;;) {
            int64_t next = NextActionFrame();
            if (next < 0 || next > position) return;
            if (cursor < events.size()) Dispatch(events[cursor++]);
            else ReleaseAll();
        }
    }

    void Pull(size_t frames) {
        fluid_synth_write_float(synth.get(), int(frames), scratch.data(), 0, 2, scratch.data(),
                                1, 2);
        synthFrames += int64_t(frames);
    }

    size_t Render(int16_t* out, size_t frames) {
        size_t done = 0;
        while (done < frames && !finished) {
            DoDueActions();
            int64_t chunk = int64_t(std::min(frames - done, kChunkFrames));
            int64_t next = NextActionFrame();
            if (next >= 0) chunk = std::min(chunk, next - position);
            Pull(size_t(chunk));
            const int64_t quietNeeded = std::llround(kQuietSeconds * rate);
            const int64_t ringOutCap = std::llround(kMaxRingOutSeconds * rate);
            for (int64_t k = 0; k < chunk; ++k) {
                float left = scratch[2 * k];
                float right = scratch[2 * k + 1];
                limiterEnvelope = std::max(std::max(std::fabs(left), std::fabs(right)), limiterEnvelope * limiterRelease);
                // The gain never lets a frame past SoftLimit(envelope) < kCeiling.
                float gain = limiterEnvelope > kKnee ? SoftLimit(limiterEnvelope) / limiterEnvelope : 1.0f;
                left *= gain;
                right *= gain;
                int16_t leftSample = ToSample(left);
                int16_t rightSample = ToSample(right);
                out[2 * done] = leftSample;
                out[2 * done + 1] = rightSample;
                ++done;
                ++position;
                if (!released) continue;
                ++ringOutFrames;
                bool quiet = std::abs(leftSample) <= kSilentSample && std::abs(rightSample) <= kSilentSample;
                quietFrames = quiet ? quietFrames + 1 : 0;
                if (quietFrames >= quietNeeded || ringOutFrames >= ringOutCap) {
                    finished = true;
                    break;
                }
            }
        }
        return done;
    }

    // A new synth for the same settings and SoundFont, or null.
    FluidSynthHolder MakeSynth(std::string* error) {
        FluidSynthHolder made(new_fluid_synth(settings.get()));
        if (!made) {
            *error = "cannot start the synthesiser";
            return nullptr;
        }
        if (fluid_synth_sfload(made.get(), soundFont.c_str(), 1) == FLUID_FAILED) {
            *error = "cannot load the SoundFont " + soundFont;
            return nullptr;
        }
        return made;
    }

    void SeekTo(double seconds) {
        double clamped = std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0;
        int64_t target = std::min<int64_t>(std::llround(clamped * rate), lengthFrame);
        // fluidsynth's system reset lets sounding notes finish their release and leaves a
        // trace in the reverb, so a seek starts from a new synth: playback from the start
        // is then exactly what a new renderer plays. The SoundFont's samples stay cached
        // while the old synth lives, which keeps this to a few tens of milliseconds.
        std::string ignored;
        if (FluidSynthHolder fresh = MakeSynth(&ignored)) {
            synth = std::move(fresh);
        } else {
            // No new synth could be made (the SoundFont went away since): the old one is
            // silenced in place instead.
            fluid_synth_system_reset(synth.get());
            fluid_synth_all_sounds_off(synth.get(), -1);
            // The synth may still hold the rest of a block rendered before the reset;
            // dropping it makes the synth start a fresh block, as a new synth would.
            int64_t leftover = (block - synthFrames % block) % block;
            if (leftover > 0) Pull(size_t(leftover));
        }
        origin = target;
        synthFrames = 0;
        position = target;
        cursor = 0;
        const auto& events = song->Events();
        while (cursor < events.size() && EventFrame(cursor) < target) {
            uint8_t kind = events[cursor].status & 0xF0;
            // Notes before the target are not restarted; everything else sets the state.
            if (kind != 0x80 && kind != 0x90 && kind != 0xA0) Dispatch(events[cursor]);
            ++cursor;
        }
        released = false;
        ringOutFrames = 0;
        quietFrames = 0;
        finished = false;
        limiterEnvelope = 0;
    }
};

MidiRenderer::MidiRenderer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
MidiRenderer::~MidiRenderer() = default;

std::unique_ptr<MidiRenderer> MidiRenderer::Create(const MidiSong& song, int sampleRate,
                                                   const std::string& soundFontPath,
                                                   std::string* error) {
    // Running out of memory is the one exception this can meet; it becomes a reason.
    try {
        return CreateOrFail(song, sampleRate, soundFontPath, error);
    } catch (const std::bad_alloc&) {
        if (error) *error = "not enough memory for the synthesiser";
        return nullptr;
    }
}

std::unique_ptr<MidiRenderer> MidiRenderer::CreateOrFail(const MidiSong& song, int sampleRate,
                                                         const std::string& soundFontPath,
                                                         std::string* error) {
    auto fail = [&](std::string reason) -> std::unique_ptr<MidiRenderer> {
        if (error) *error = std::move(reason);
        return nullptr;
    };
    if (sampleRate < 8000 || sampleRate > 192000) return fail("unsupported sample rate");
    struct stat info {};
    if (soundFontPath.empty() || stat(soundFontPath.c_str(), &info) != 0)
        return fail("SoundFont not found: " + soundFontPath);
    if (!S_ISREG(info.st_mode) || access(soundFontPath.c_str(), R_OK) != 0)
        return fail("cannot read the SoundFont " + soundFontPath);
    // fluidsynth hands files it does not recognise to libinstpatch, which complains on
    // stderr; only SoundFont 2 files are given to it.
    if (!IsSoundFont2(soundFontPath)) return fail("cannot load the SoundFont " + soundFontPath);

    QuietFluidLog();
    auto impl = std::make_unique<Impl>();
    impl->song = &song;
    impl->rate = sampleRate;
    impl->settings.reset(new_fluid_settings());
    if (!impl->settings) return fail("cannot start the synthesiser");
    fluid_settings_t* settings = impl->settings.get();
    fluid_settings_setnum(settings, "synth.sample-rate", sampleRate);
    fluid_settings_setnum(settings, "synth.gain", kSynthGain);
    // Each renderer is used by one thread at a time and renders on that thread.
    fluid_settings_setint(settings, "synth.threadsafe-api", 0);
    fluid_settings_setint(settings, "synth.cpu-cores", 1);
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    impl->soundFont = soundFontPath;
    std::string reason;
    impl->synth = impl->MakeSynth(&reason);
    if (!impl->synth) return fail(reason);

    impl->block = std::max(1, fluid_synth_get_internal_bufsize(impl->synth.get()));
    impl->lengthFrame = std::llround(song.LengthSeconds() * sampleRate);
    impl->limiterRelease = float(std::exp(-1.0 / (kLimiterReleaseSeconds * sampleRate)));
    impl->scratch.resize(2 * std::max<size_t>(kChunkFrames, size_t(impl->block)));
    if (error) error->clear();
    return std::unique_ptr<MidiRenderer>(new MidiRenderer(std::move(impl)));
}

size_t MidiRenderer::Render(int16_t* out, size_t frames) {
    return out ? impl_->Render(out, frames) : 0;
}

bool MidiRenderer::Finished() const { return impl_->finished; }

void MidiRenderer::SeekTo(double seconds) { impl_->SeekTo(seconds); }

uint64_t MidiRenderer::FramePosition() const { return uint64_t(impl_->position); }

int MidiRenderer::SampleRate() const { return impl_->rate; }

}  // namespace media
