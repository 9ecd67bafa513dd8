# Test-support code for checking recordings (paths relative to tests/support): a strict WAV
# reader/writer and audio analysis. Sources include "tests/support/...", so the repository
# root must be on the include path. The tests need GTest::gtest_main (no main of their own).
set(SUPPORT_SOURCES
  WavFile.cpp
  AudioAnalysis.cpp
)
set(SUPPORT_TEST_SOURCES
  WavFileTest.cpp
  AudioAnalysisTest.cpp
)
