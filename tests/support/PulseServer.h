#pragma once
// Test helpers that work the sound server from outside the program, through pactl, so
// that tests can check PulseClient against the server's own account. The server is the
// one PULSE_SERVER names (scripts/test.sh starts a private one). pactl runs without a
// shell, with its arguments as given.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// pactl's standard output, when it exits with status 0 within 10 s. "--server=..." as the
// first argument picks another server.
std::optional<std::string> Pactl(const std::vector<std::string>& args);

// Loads a null sink `name` described as `description` (any UTF-8 text: spaces, quotes,
// backslashes). moduleArgs go to module-null-sink unchanged, e.g. "format=s32le".
// The module's index.
std::optional<uint32_t> LoadNullSink(const std::string& name, const std::string& description,
                                     const std::vector<std::string>& moduleArgs = {});
bool UnloadModule(uint32_t module);

// A source's volume as a fraction of 100 %, averaged over its channels; NaN when unreadable.
double SourceVolumeFromServer(const std::string& source);

// The "Description:" pactl shows for a sink or source; nothing when there is no such object.
std::optional<std::string> SinkDescriptionFromServer(const std::string& sink);
std::optional<std::string> SourceDescriptionFromServer(const std::string& source);

// A source's sample format, rate and channels in pactl's words ("s16le", "float32le", "s24-32le").
struct ServerSampleFormat {
    std::string format;
    uint32_t rate = 0;
    uint32_t channels = 0;
};
std::optional<ServerSampleFormat> SourceFormatFromServer(const std::string& source);

// A null sink for the length of a scope; its module is unloaded on the way out.
class ScopedNullSink {
public:
    ScopedNullSink(std::string name, const std::string& description, const std::vector<std::string>& moduleArgs = {});
    ~ScopedNullSink();
    ScopedNullSink(const ScopedNullSink&) = delete;
    ScopedNullSink& operator=(const ScopedNullSink&) = delete;

    bool Loaded() const { return module_.has_value(); }
    const std::string& Name() const { return name_; }
    std::string Monitor() const { return name_ + ".monitor"; }
    // Unloads now; false when it was not loaded or pactl failed.
    bool Unload();

private:
    std::string name_;
    std::optional<uint32_t> module_;
};
