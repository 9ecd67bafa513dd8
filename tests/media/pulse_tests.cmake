# Tests for the PulseAudio half of the media layer, run against the private sound server
# that scripts/test.sh starts (PULSE_SERVER). They need GTest::gtest_main, Threads and
# the media library with libpulse; they call pactl (package pulseaudio-utils).
set(MEDIA_PULSE_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/PulseClientTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DeviceGroupingTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../support/PulseServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../support/PulseServer.h
  ${CMAKE_CURRENT_LIST_DIR}/../support/PrivateSoundServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../support/PrivateSoundServer.h
)
