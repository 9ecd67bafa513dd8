#pragma once
// GStreamer set-up and the holders this layer keeps GStreamer objects in.

#include <gst/gst.h>

#include <memory>
#include <string>

namespace media {

// Starts GStreamer once per process and registers this layer's own elements.
// Any thread; false with a reason when GStreamer cannot start.
bool EnsureGstreamer(std::string* error = nullptr);

struct GstObjectUnref {
    void operator()(gpointer object) const {
        if (object) gst_object_unref(object);
    }
};
using ElementPtr = std::unique_ptr<GstElement, GstObjectUnref>;
using BusPtr = std::unique_ptr<GstBus, GstObjectUnref>;
using PadPtr = std::unique_ptr<GstPad, GstObjectUnref>;

struct GstCapsUnref {
    void operator()(GstCaps* caps) const {
        if (caps) gst_caps_unref(caps);
    }
};
using CapsPtr = std::unique_ptr<GstCaps, GstCapsUnref>;

}  // namespace media
