#pragma once
// One connection to the PulseAudio server: lists capture devices and their recording
// sources, reads and sets a source's level, and reports devices going away or coming back.
// Every blocking call waits at most a few seconds, then fails; nothing throws.
// Several clients may live in one process; each runs its own libpulse thread.
// Threads: every method may be called from any thread, the GUI thread being the usual one,
// and from inside the watch callback too, except StartWatch (fails there) and the
// destructor (never destroy a client from its own watch callback).

#include "media/pulse/CaptureDevice.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class PulseClient {
public:
    // deviceKey is a CaptureDevice::key; present is false when it went away.
    using DeviceCallback = std::function<void(const std::string& deviceKey, bool present)>;

    // Connects to `server` (a server string such as "unix:/run/user/1000/pulse/native"), or,
    // when empty, to the default one (PULSE_SERVER, else the user's). Waits at most 3 s and
    // never starts a server; see Connected().
    explicit PulseClient(const std::string& server = std::string());
    // Ends the watch, disconnects and stops the client's threads; waits only for a watch
    // callback that is running.
    ~PulseClient();
    PulseClient(const PulseClient&) = delete;
    PulseClient& operator=(const PulseClient&) = delete;

    // True while the connection is up; false for good once it failed or was lost.
    bool Connected() const;

    // Empty when there are none or the server did not answer in time.
    std::vector<CaptureDevice> ListCaptureDevices();

    // The level of a source as a fraction of 100 % (the average over its channels).
    bool GetSourceVolume(const std::string& sourceName, double* level);
    // Sets every channel to `level`, clamped to 0..1, and returns once the server applied it.
    bool SetSourceVolume(const std::string& sourceName, double level);
    bool SourceExists(const std::string& sourceName);

    // Calls `callback` whenever a device disappears (present == false) or appears, in the order
    // the server reported it, from a thread of this watch that holds no lock while calling.
    // The callback must not throw; it may call this client (StartWatch fails there).
    // Devices present at the start are not reported. If the connection is lost, every device
    // still present is reported gone and the watch ends (Connected() turns false). False when
    // not connected, already watching, or the server did not answer in time.
    bool StartWatch(DeviceCallback callback);
    // After it returns no callback runs or will run; it waits for one that is running, unless
    // called from inside the callback itself.
    void StopWatch();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
