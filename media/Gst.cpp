#include "media/Gst.h"

#include <mutex>

#include "media/midi/MidiSource.h"

namespace media {

bool EnsureGstreamer(std::string* error) {
    static std::once_flag once;
    static bool ok = false;
    static std::string reason;
    std::call_once(once, []() {
        GError* failure = nullptr;
        ok = gst_init_check(nullptr, nullptr, &failure);
        if (!ok) {
            reason = failure ? failure->message : "GStreamer could not start";
            g_clear_error(&failure);
            return;
        }
        if (!RegisterMidiSourceElement()) {
            ok = false;
            reason = "the MIDI source element could not be registered";
        }
    });
    if (!ok && error) *error = reason;
    return ok;
}

}  // namespace media
