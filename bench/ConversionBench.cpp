// Converts a generated 60-second MIDI file through the real window, as a user does: Open,
// Convert, and wait for "Status : Ready". Prints how long the start takes, how the WAV
// compares with the MIDI file and with an offline render, and what the program costs.
//
//   build/bench/conversion_bench [seconds]     (needs an X display and a PulseAudio server)
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/ConverterApp.h"
#include "media/DShow.h"
#include "media/midi/OfflineRender.h"
#include "platform/Testing.h"
#include "platform/testing/UiDriver.h"
#include "res/ProgramResources.h"
#include "res/ResourceIds.h"
#include "tests/harness/ProgramRun.h"
#include "tests/support/AudioAnalysis.h"
#include "tests/support/MidiWriter.h"
#include "tests/support/WavFile.h"

using Clock = std::chrono::steady_clock;
using namespace platform::testing;

namespace {

double CpuSeconds() {
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

testsupport::MidiWriter LongSong(double seconds) {
    testsupport::MidiWriter song(1, 480);
    int tempo = song.AddTrack();
    int tracks[3] = {song.AddTrack(), song.AddTrack(), song.AddTrack()};
    song.Tempo(tempo, 0, 500000);
    for (int i = 0; i < 3; ++i) song.ProgramChange(tracks[i], 0, i, i * 24);
    uint32_t tick = 240;
    int change = 0;
    while (song.SecondsAt(tick) < seconds - 2) {
        if (song.SecondsAt(tick) > 10.0 * (change + 1)) song.Tempo(tempo, tick, 400000 + 50000 * (++change % 4));
        for (int i = 0; i < 3; ++i) song.Note(tracks[i], tick + i * 80, 200, i, 50 + i * 7 + (tick / 240) % 12, 90);
        tick += 240;
    }
    song.Chord(tracks[0], tick, 960, 0, {60, 64, 67}, 100);
    return song;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? atof(argv[1]) : 60.0;
    InitToolkitForTests(&argc, &argv);
    if (AfxGetApp() != &theApp) return 1;
    RegisterProgramResources();
    media::RegisterMediaClasses();
    harness::ScratchHome home;
    std::string midi = home.home() + "long.mid", wav = home.home() + "long.wav";
    testsupport::MidiWriter song = LongSong(seconds);
    song.Save(midi);
    double clickToLive = 0, convertSeconds = 0, cpu = 0;
    harness::RunProgram([&](HWND window) {
        QueueFileDialogAnswer(midi);
        Click(GetDlgItem(window, IDC_OPEN));
        Pump(100);
        double cpuBefore = CpuSeconds();
        Clock::time_point click = Clock::now();
        Click(GetDlgItem(window, IDC_CONVERT));  // returns once the recording is live
        clickToLive = std::chrono::duration<double>(Clock::now() - click).count();
        WaitUntil([&]() { return harness::TextOf(GetDlgItem(window, IDC_STATUS)) == "Status : Ready"; },
                  static_cast<int>(seconds * 1000) + 30000);
        convertSeconds = std::chrono::duration<double>(Clock::now() - click).count();
        cpu = CpuSeconds() - cpuBefore;
        harness::CloseProgram(window);
    }, static_cast<int>(seconds * 1000) + 60000);

    support::WavInfo info;
    std::vector<float> samples;
    std::string problem;
    if (!support::ReadWav(wav, &info, &samples, &problem)) {
        fprintf(stderr, "no complete WAV file: %s\n", problem.c_str());
        return 1;
    }
    int rate = static_cast<int>(info.sampleRate);
    std::vector<int16_t> pcm;
    media::RenderMidiFile(midi, rate, &pcm, &problem);
    std::vector<float> stereo(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i) stereo[i] = pcm[i] / 32768.0f;
    std::vector<float> reference = support::ToMono(stereo, 2), recording = support::ToMono(samples, info.channels);
    support::Alignment at = support::Align(reference, recording, rate, 5.0);
    double firstNote = song.Notes().front().seconds;
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    printf("MIDI length                      %.3f s\n", song.LengthSeconds());
    printf("Convert click until recording    %.1f ms\n", clickToLive * 1000);
    printf("Convert click to first note      %.1f ms (in the WAV at %.3f s)\n",
           (clickToLive + static_cast<double>(at.offsetFrames) / rate) * 1000, static_cast<double>(at.offsetFrames) / rate + firstNote);
    printf("WAV length minus MIDI length     %.3f s\n", static_cast<double>(info.frames) / rate - song.LengthSeconds());
    printf("Convert click to Status Ready    %.3f s\n", convertSeconds);
    printf("correlation with offline render  %.6f\n", at.correlation);
    printf("gaps found                       %zu\n", support::FindGaps(reference, support::AlignedCopy(recording, at.offsetFrames, reference.size()), rate).size());
    printf("program CPU                      %.2f s per minute of audio\n", cpu / (static_cast<double>(info.frames) / rate / 60));
    printf("peak memory (whole process)      %.1f MiB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
