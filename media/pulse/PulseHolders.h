#pragma once
// Owners for libpulse objects, so each is released once on every way out.

#include <pulse/pulseaudio.h>

#include <memory>

template <auto Release>
struct PulseRelease {
    template <class T>
    void operator()(T* p) const
    {
        Release(p);
    }
};

using ThreadedMainloopPtr = std::unique_ptr<pa_threaded_mainloop, PulseRelease<pa_threaded_mainloop_free>>;
using ContextPtr = std::unique_ptr<pa_context, PulseRelease<pa_context_unref>>;
using OperationPtr = std::unique_ptr<pa_operation, PulseRelease<pa_operation_unref>>;
using ProplistPtr = std::unique_ptr<pa_proplist, PulseRelease<pa_proplist_free>>;

// A timer belongs to its mainloop's API; free it with the mainloop lock held.
struct TimeEventRelease {
    pa_mainloop_api* api = nullptr;
    void operator()(pa_time_event* event) const { api->time_free(event); }
};
using TimeEventPtr = std::unique_ptr<pa_time_event, TimeEventRelease>;

// Holds a threaded mainloop's lock for one scope. Not for the mainloop's own thread.
class MainloopLock {
public:
    explicit MainloopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~MainloopLock() { pa_threaded_mainloop_unlock(loop_); }
    MainloopLock(const MainloopLock&) = delete;
    MainloopLock& operator=(const MainloopLock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};
