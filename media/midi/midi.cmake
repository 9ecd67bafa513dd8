# The MIDI half of the media layer: the song loader (libsmf), the renderer (fluidsynth),
# the offline renderer and the sonovertmidisrc GStreamer element. Paths are relative to
# media/.
set(MEDIA_MIDI_SOURCES
  midi/MidiSong.cpp
  midi/MidiSong.h
  midi/MidiRenderer.cpp
  midi/MidiRenderer.h
  midi/OfflineRender.cpp
  midi/OfflineRender.h
  midi/MidiSource.cpp
  midi/MidiSource.h
)
# The pkg-config modules these sources need (link them PUBLIC or PRIVATE to sonovert_media).
set(MEDIA_MIDI_PKG gstreamer-1.0 gstreamer-base-1.0 fluidsynth smf)
