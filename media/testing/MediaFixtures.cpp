#include "media/testing/MediaFixtures.h"

#include <gst/gst.h>

#include <cmath>

#include "media/Gst.h"

namespace media::testing {
namespace {

bool RunPipeline(const std::string& description, std::string* error) {
    if (!EnsureGstreamer(error)) return false;
    GError* failure = nullptr;
    ElementPtr pipeline(gst_parse_launch(description.c_str(), &failure));
    if (!pipeline || failure) {
        if (error) *error = failure ? failure->message : "cannot build the pipeline";
        g_clear_error(&failure);
        return false;
    }
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    BusPtr bus(gst_element_get_bus(pipeline.get()));
    GstMessage* message = gst_bus_timed_pop_filtered(bus.get(), 30 * GST_SECOND,
                                                     static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    bool ok = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (!ok && error) {
        if (message) {
            GError* e = nullptr;
            gst_message_parse_error(message, &e, nullptr);
            *error = e ? e->message : "stream error";
            g_clear_error(&e);
        } else {
            *error = "timed out";
        }
    }
    if (message) gst_message_unref(message);
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return ok;
}

std::string Quote(const std::string& path) {
    gchar* quoted = g_strescape(path.c_str(), nullptr);
    std::string out = std::string("\"") + quoted + "\"";
    g_free(quoted);
    return out;
}

}  // namespace

bool WriteTestVideo(const std::string& path, int width, int height, double seconds, bool withAudio, std::string* error) {
    int frames = static_cast<int>(std::lround(seconds * 15));
    std::string video = "videotestsrc num-buffers=" + std::to_string(frames) + " pattern=ball ! video/x-raw,width=" +
                        std::to_string(width) + ",height=" + std::to_string(height) +
                        ",framerate=15/1 ! jpegenc ! mux. ";
    std::string audio = withAudio ? "audiotestsrc num-buffers=" + std::to_string(static_cast<int>(std::lround(seconds * 44100 / 1024))) +
                                        " samplesperbuffer=1024 ! audio/x-raw,rate=44100,channels=2,format=S16LE ! mux. "
                                  : "";
    return RunPipeline(video + audio + "avimux name=mux ! filesink location=" + Quote(path), error);
}

bool WriteTestTone(const std::string& path, double seconds, std::string* error) {
    int buffers = static_cast<int>(std::lround(seconds * 44100 / 1024));
    return RunPipeline("audiotestsrc num-buffers=" + std::to_string(buffers) +
                           " samplesperbuffer=1024 ! audio/x-raw,rate=44100,channels=2,format=S16LE ! wavenc ! filesink location=" +
                           Quote(path),
                       error);
}

}  // namespace media::testing
