# The libFuzzer target for MIDI loading and rendering (paths relative to this file). It is
# built only with SONOVERT_FUZZ=ON and clang, in a build of its own:
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -DSONOVERT_FUZZ=ON
#   cmake --build build-fuzz --target midi_load_fuzzer
#   mkdir -p /tmp/midi-corpus
#   build-fuzz/tests/midi_load_fuzzer -max_total_time=300 -max_len=8192 /tmp/midi-corpus tests/fuzz/corpus
# (the program lands in the binary folder of the CMakeLists.txt that includes this file).
# The MIDI sources are compiled into it again, with coverage and sanitizers; the corpus is
# replayed by every ordinary build through tests/media/MidiCorpusTest.cpp.
option(SONOVERT_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
if(SONOVERT_FUZZ)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(MIDI_FUZZ_DEPS REQUIRED IMPORTED_TARGET fluidsynth smf glib-2.0)
    set(_midi_fuzz_root ${CMAKE_CURRENT_LIST_DIR}/../..)
    set(_midi_fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
    add_executable(midi_load_fuzzer
      ${CMAKE_CURRENT_LIST_DIR}/MidiLoadFuzzer.cpp
      ${_midi_fuzz_root}/media/midi/MidiSong.cpp
      ${_midi_fuzz_root}/media/midi/MidiRenderer.cpp
    )
    target_include_directories(midi_load_fuzzer PRIVATE ${_midi_fuzz_root})
    target_compile_options(midi_load_fuzzer PRIVATE ${_midi_fuzz_flags} -g -O1)
    target_link_options(midi_load_fuzzer PRIVATE ${_midi_fuzz_flags})
    target_link_libraries(midi_load_fuzzer PRIVATE PkgConfig::MIDI_FUZZ_DEPS)
  else()
    message(WARNING "SONOVERT_FUZZ needs clang; midi_load_fuzzer is not built with ${CMAKE_CXX_COMPILER_ID}.")
  endif()
endif()
