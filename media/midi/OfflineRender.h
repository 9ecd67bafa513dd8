#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace media {

// Renders a whole MIDI file through MidiRenderer as fast as the machine allows, with the
// default SoundFont: the reference that a recording of the same file is compared with.
// Returns false and a short English reason when the file or the SoundFont cannot be used.
// Any thread may call it; each call has its own song and synth.
bool RenderMidiFile(const std::string& path, int sampleRate,
                    std::vector<int16_t>* interleavedStereo, std::string* error);

}  // namespace media
