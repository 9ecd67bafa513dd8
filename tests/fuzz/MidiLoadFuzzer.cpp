// libFuzzer entry point: arbitrary bytes go through MIDI loading, and whatever loads has
// its first second rendered, so that the checks in front of libsmf and the renderer's
// event handling meet hostile input.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/midi/MidiRenderer.h"
#include "media/midi/MidiSong.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    std::unique_ptr<media::MidiSong> song = media::MidiSong::LoadFromMemory(data, size, &error);
    if (!song) {
        // Every refusal comes with a reason for the user.
        if (error.empty()) __builtin_trap();
        return 0;
    }
    constexpr int kRate = 44100;
    std::unique_ptr<media::MidiRenderer> renderer =
        media::MidiRenderer::Create(*song, kRate, media::MidiRenderer::kDefaultSoundFont, &error);
    if (!renderer) return 0;
    std::vector<int16_t> block(2 * 4410);
    size_t frames = 0;
    for (int i = 0; i < 10 && !renderer->Finished(); ++i) frames += renderer->Render(block.data(), 4410);
    if (renderer->FramePosition() != frames) __builtin_trap();
    return 0;
}
