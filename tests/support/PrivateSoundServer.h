#pragma once
// A PulseAudio server of one test's own, for what the shared test server must not go
// through: being stopped under its clients, or holding exactly the devices a test needs.
// It has one null sink, sv_private ("Private"), unless made without one.
// Started like scripts/sound-server.sh does it: own directory, HOME and runtime dir,
// no session bus, no realtime, anonymous clients on its unix socket.

#include <string>
#include <sys/types.h>

class PrivateSoundServer {
public:
    explicit PrivateSoundServer(bool withSink = true); // waits up to 10 s for it to answer; see Running()
    ~PrivateSoundServer(); // stops it if still running, removes its directory
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    bool Running() const { return pid_ > 0; }
    const std::string& ServerString() const { return server_; } // "unix:<dir>/native"
    // Sends `signal` and waits for the server to end (SIGKILL after 5 s). False when it was not running.
    bool Stop(int signal);

private:
    std::string dir_;
    std::string server_;
    pid_t pid_ = -1;
};

// Makes PULSE_SERVER name `server` for the life of the scope, so that the program, GStreamer
// and pactl all talk to it; the previous value comes back at the end.
class SoundServerScope {
public:
    explicit SoundServerScope(const PrivateSoundServer& server);
    ~SoundServerScope();
    SoundServerScope(const SoundServerScope&) = delete;
    SoundServerScope& operator=(const SoundServerScope&) = delete;

private:
    std::string previous_;
    bool hadPrevious_ = false;
};
