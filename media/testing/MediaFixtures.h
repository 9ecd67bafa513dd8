#pragma once
// Media files made on the spot for tests, with GStreamer, so tests need no GStreamer of
// their own. Any thread.

#include <string>

namespace media::testing {

// A short clip with a moving test picture (Motion JPEG in AVI), and a tone when asked.
bool WriteTestVideo(const std::string& path, int width, int height, double seconds, bool withAudio, std::string* error);
// A short tone as a WAV file, to play like any other sound file.
bool WriteTestTone(const std::string& path, double seconds, std::string* error);

}  // namespace media::testing
