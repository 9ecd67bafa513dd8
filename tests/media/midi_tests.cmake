# Tests of the MIDI half of the media layer (paths relative to tests/media). They use the
# real libsmf, fluidsynth with /usr/share/sounds/sf2/default-GM.sf2 and GStreamer (with
# gstreamer-app-1.0 for the appsink), and need no sound server or display. Build them into
# one program linked with sonovert_media, sonovert_test_support (for MidiWriter) and
# GTest::gtest_main, with the compile definitions in MEDIA_MIDI_TEST_DEFINITIONS (where the
# fuzz corpus that MidiCorpusTest replays lives). The element's own test drives a GStreamer
# pipeline, so it lives with the media layer, the one place that speaks GStreamer.
set(MEDIA_MIDI_TEST_SOURCES
  MidiSongTest.cpp
  MidiRendererTest.cpp
  ../../media/testing/MidiSourceTest.cpp
  MidiCorpusTest.cpp
)
set(MEDIA_MIDI_TEST_DEFINITIONS
  SONOVERT_MIDI_CORPUS_DIR="${CMAKE_CURRENT_LIST_DIR}/../fuzz/corpus"
)
