#include "media/midi/OfflineRender.h"

#include <algorithm>
#include <new>

#include "media/midi/MidiRenderer.h"
#include "media/midi/MidiSong.h"

namespace media {

bool RenderMidiFile(const std::string& path, int sampleRate,
                    std::vector<int16_t>* interleavedStereo, std::string* error) {
    std::string reason;
    std::unique_ptr<MidiSong> song = MidiSong::Load(path, &reason);
    std::unique_ptr<MidiRenderer> renderer;
    if (song)
        renderer = MidiRenderer::Create(*song, sampleRate, MidiRenderer::kDefaultSoundFont, &reason);
    if (!renderer || !interleavedStereo) {
        if (error) *error = interleavedStereo ? reason : "no place for the samples";
        return false;
    }
    // Large blocks keep the per-call overhead negligible.
    constexpr size_t kBlockFrames = 16384;
    std::vector<int16_t>& out = *interleavedStereo;
    try {
        out.clear();
        // Room for the song and its ring-out, up to ten minutes; longer songs grow it.
        double expectedSeconds = std::min(song->LengthSeconds() + 2.0, 600.0);
        out.reserve(size_t(expectedSeconds * sampleRate) * 2);
        while (!renderer->Finished()) {
            size_t at = out.size();
            out.resize(at + 2 * kBlockFrames);
            out.resize(at + 2 * renderer->Render(out.data() + at, kBlockFrames));
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        if (error) *error = "not enough memory for the whole song";
        return false;
    }
    if (error) error->clear();
    return true;
}

}  // namespace media
