// Converts a generated 60-second MIDI file through the real graphs, as the program does:
// the capture graph records the default sink's monitor while the playback graph plays the
// file into that sink. Prints what the recording costs and how faithful it is.
//
//   build/bench/capture_bench [seconds]        (needs a PulseAudio server; no display)
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "media/DShow.h"
#include "media/midi/OfflineRender.h"
#include "platform/ComPtr.h"
#include "tests/support/AudioAnalysis.h"
#include "tests/support/MidiWriter.h"
#include "tests/support/WavFile.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakMemoryKb() {
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// About `seconds` of music: a rest, four instruments through a tempo change every ten
// seconds, and a held last chord.
testsupport::MidiWriter LongSong(double seconds) {
    testsupport::MidiWriter song(1, 480);
    int tempoTrack = song.AddTrack();
    int tracks[4] = {song.AddTrack(), song.AddTrack(), song.AddTrack(), song.AddTrack()};
    const int programs[4] = {0, 48, 33, 73};
    for (int i = 0; i < 4; ++i) song.ProgramChange(tracks[i], 0, i, programs[i]);
    const uint32_t tempos[] = {500000, 400000, 600000, 450000, 550000, 500000};
    uint32_t tick = 0;
    double at = 0;
    size_t change = 0;
    song.Tempo(tempoTrack, 0, tempos[0]);
    uint32_t start = 240;  // a rest of a quarter note before the music
    tick = start;
    while (at < seconds - 3) {
        double nextChange = 10.0 * static_cast<double>(change + 1);
        if (at >= nextChange) {
            ++change;
            song.Tempo(tempoTrack, tick, tempos[change % 6]);
        }
        for (int i = 0; i < 4; ++i) {
            int key = 48 + i * 7 + static_cast<int>((tick / 240) % 12);
            song.Note(tracks[i], tick + static_cast<uint32_t>(i * 60), 200, i, key, 70 + i * 10);
        }
        tick += 240;
        at = song.SecondsAt(tick);
    }
    song.Chord(tracks[0], tick, 960, 0, {60, 64, 67, 72}, 100);
    song.Chord(tracks[1], tick, 960, 1, {48, 55, 60}, 90);
    return song;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? atof(argv[1]) : 60.0;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    media::RegisterMediaClasses();
    std::string dir = std::filesystem::temp_directory_path() / ("sonovert-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string midi = dir + "/long.mid", wav = dir + "/long.wav";
    testsupport::MidiWriter song = LongSong(seconds);
    song.Save(midi);

    ComPtr<IGraphBuilder> capture, player;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, reinterpret_cast<void**>(capture.GetAddressOf()));
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, reinterpret_cast<void**>(player.GetAddressOf()));
    // The device whose first line is the default sink's monitor: the first listed device
    // (a machine with one sound server sink), as the program would pick by default.
    ComPtr<ICreateDevEnum> devices;
    CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum, reinterpret_cast<void**>(devices.GetAddressOf()));
    ComPtr<IEnumMoniker> list;
    if (devices->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, list.GetAddressOf(), 0) != S_OK) {
        fprintf(stderr, "no capture device: is a PulseAudio server running?\n");
        return 1;
    }
    ComPtr<IMoniker> moniker;
    list->Next(1, moniker.GetAddressOf(), nullptr);
    ComPtr<IBaseFilter> device, wavDest, writer;
    moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(device.GetAddressOf()));
    capture->AddFilter(device.Get(), u"Audio Capture");
    ComPtr<IEnumPins> pins;
    device->EnumPins(pins.GetAddressOf());
    ComPtr<IPin> line, output, pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION d;
        pin->QueryDirection(&d);
        if (d == PINDIR_INPUT && !line) line = pin;
        if (d == PINDIR_OUTPUT && !output) output = pin;
    }
    ComPtr<IAMAudioInputMixer> mixer;
    line->QueryInterface(IID_IAMAudioInputMixer, reinterpret_cast<void**>(mixer.GetAddressOf()));
    mixer->put_Enable(TRUE);
    CoCreateInstance(CLSID_WavDest, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reinterpret_cast<void**>(wavDest.GetAddressOf()));
    ComPtr<IFileSinkFilter2> sink;
    CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IFileSinkFilter2, reinterpret_cast<void**>(sink.GetAddressOf()));
    sink->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(writer.GetAddressOf()));
    capture->AddFilter(wavDest.Get(), u"WAV Dest");
    capture->AddFilter(writer.Get(), u"File Writer");
    sink->SetMode(AM_FILE_OVERWRITE);
    sink->SetFileName(Utf8ToUtf16(wav).c_str(), nullptr);
    if (FAILED(capture->Render(output.Get())) || FAILED(player->RenderFile(Utf8ToUtf16(midi).c_str(), nullptr))) {
        fprintf(stderr, "could not build the graphs\n");
        return 1;
    }
    ComPtr<IMediaControl> captureControl, playerControl;
    ComPtr<IMediaEventEx> playerEvents;
    capture->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(captureControl.GetAddressOf()));
    player->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(playerControl.GetAddressOf()));
    player->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(playerEvents.GetAddressOf()));

    double cpuBefore = CpuSeconds();
    Clock::time_point runAt = Clock::now();
    captureControl->Run();
    Clock::time_point liveAt = Clock::now();
    playerControl->Run();
    long code = 0;
    LONG_PTR p1, p2;
    while (playerEvents->GetEvent(&code, &p1, &p2, 100) != S_OK || code != EC_COMPLETE) {
    }
    Clock::time_point completeAt = Clock::now();
    playerControl->Stop();
    captureControl->StopWhenReady();
    Clock::time_point stoppedAt = Clock::now();
    double cpu = CpuSeconds() - cpuBefore;

    support::WavInfo info;
    std::vector<float> samples;
    std::string problem;
    if (!support::ReadWav(wav, &info, &samples, &problem)) {
        fprintf(stderr, "the WAV file is broken: %s\n", problem.c_str());
        return 1;
    }
    int rate = static_cast<int>(info.sampleRate);
    std::vector<int16_t> pcm;
    std::string error;
    media::RenderMidiFile(midi, rate, &pcm, &error);
    std::vector<float> referenceStereo(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i) referenceStereo[i] = pcm[i] / 32768.0f;
    std::vector<float> reference = support::ToMono(referenceStereo, 2);
    std::vector<float> recording = support::ToMono(samples, info.channels);
    support::Alignment at = support::Align(reference, recording, rate, 5.0);
    std::vector<float> aligned = support::AlignedCopy(recording, at.offsetFrames, reference.size());
    size_t gaps = support::FindGaps(reference, aligned, rate).size();
    double recordedSeconds = static_cast<double>(info.frames) / rate;
    double ms = 1000.0 / rate;

    auto msBetween = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    printf("MIDI length (tempo map)          %.3f s\n", song.LengthSeconds());
    printf("reference render (with ring-out) %.3f s\n", static_cast<double>(reference.size()) / rate);
    printf("WAV                              %.3f s, %u Hz, %u ch, %u bit\n", recordedSeconds, info.sampleRate, info.channels, info.bitsPerSample);
    printf("WAV minus MIDI length            %.3f s\n", recordedSeconds - song.LengthSeconds());
    printf("capture Run until live           %.1f ms\n", msBetween(runAt, liveAt));
    printf("lead-in before the music (WAV)   %.1f ms\n", at.offsetFrames * ms);
    printf("Run to first recorded note       %.1f ms beyond the file's own lead-in\n", msBetween(runAt, liveAt) + at.offsetFrames * ms);
    printf("end of file to EC_COMPLETE       %.1f ms after Run+length\n", msBetween(liveAt, completeAt) - song.LengthSeconds() * 1000);
    printf("StopWhenReady                    %.1f ms\n", msBetween(completeAt, stoppedAt));
    printf("correlation with offline render  %.6f\n", at.correlation);
    printf("gaps found                       %zu\n", gaps);
    printf("recording peak                   %.2f dBFS, %zu clipped samples\n", support::PeakDbfs(samples), support::ClippedSamples(samples));
    printf("reference peak                   %.2f dBFS, %zu clipped samples\n", support::PeakDbfs(referenceStereo), support::ClippedSamples(referenceStereo));
    printf("CPU                              %.2f s per minute of audio\n", cpu / (recordedSeconds / 60.0));
    printf("peak memory                      %.1f MiB\n", PeakMemoryKb() / 1024.0);
    std::filesystem::remove_all(dir);
    CoUninitialize();
    return 0;
}
