#pragma once

namespace media {

// The factory name of the MIDI source element: a non-live GStreamer source that reads a
// MIDI file (property "location", a UTF-8 path) and synthesises it with a SoundFont
// (property "soundfont") into audio/x-raw S16LE, 44100 Hz, stereo. It answers DURATION
// with the file's own length from READY→PAUSED on, seeks in TIME, and ends with EOS once
// the last notes have rung out.
inline constexpr const char kMidiSourceFactoryName[] = "sonovertmidisrc";

// Registers the element with the running process (not as a plugin). Any thread may call
// it, any number of times; the caller must have initialised GStreamer. Returns false when
// GStreamer refused the registration.
bool RegisterMidiSourceElement();

}  // namespace media
