#include "media/midi/MidiSource.h"

#include <gst/base/gstbasesrc.h>
#include <gst/gst.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <string>

#include "media/midi/MidiRenderer.h"
#include "media/midi/MidiSong.h"

namespace {

constexpr int kRate = media::MidiRenderer::kDefaultSampleRate;
constexpr int kBytesPerFrame = 4;
// 20 ms of sound a buffer: small enough for a prompt seek, large enough to keep the
// per-buffer cost negligible.
constexpr guint kBufferFrames = kRate / 50;

enum { PROP_0, PROP_LOCATION, PROP_SOUNDFONT };

struct BufferDeleter {
    void operator()(GstBuffer* buffer) const { gst_buffer_unref(buffer); }
};
using BufferHolder = std::unique_ptr<GstBuffer, BufferDeleter>;

// The element's C++ side. Properties are set from the application's thread, the song and
// renderer are used by the streaming thread and by seeks, and queries come from any
// thread: `lock` guards all of it. It is never held while a message is posted, since bus
// handlers may call back into the element.
struct MidiSourceState {
    std::mutex lock;
    std::string location;
    std::string soundFont = media::MidiRenderer::kDefaultSoundFont;
    std::unique_ptr<media::MidiSong> song;
    std::unique_ptr<media::MidiRenderer> renderer;
    bool untouched = false;  // Nothing rendered since the renderer was made or moved.
    uint64_t pushedEnd = 0;  // The frame just after the last buffer handed out.
};

struct SonovertMidiSrc {
    GstBaseSrc parent;
    MidiSourceState* state;
};

struct SonovertMidiSrcClass {
    GstBaseSrcClass parent_class;
};

GType sonovert_midi_src_get_type();
G_DEFINE_TYPE(SonovertMidiSrc, sonovert_midi_src, GST_TYPE_BASE_SRC)

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format=(string)S16LE, layout=(string)interleaved, "
                    "rate=(int)44100, channels=(int)2"));

MidiSourceState& StateOf(gpointer object) {
    return *reinterpret_cast<SonovertMidiSrc*>(object)->state;
}

GstClockTime FramesToTime(uint64_t frames) {
    return gst_util_uint64_scale_int(frames, GST_SECOND, kRate);
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    if (id != PROP_LOCATION && id != PROP_SOUNDFONT) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        return;
    }
    // A running element keeps the file it opened; the new name would not take effect.
    GST_OBJECT_LOCK(object);
    GstState current = GST_STATE(object);
    GST_OBJECT_UNLOCK(object);
    if (current > GST_STATE_READY) {
        g_warning("sonovertmidisrc: %s can only be changed in the NULL or READY state",
                  pspec->name);
        return;
    }
    const gchar* text = g_value_get_string(value);
    MidiSourceState& state = StateOf(object);
    std::lock_guard<std::mutex> lock(state.lock);
    if (id == PROP_LOCATION) state.location = text ? text : "";
    else state.soundFont = text ? text : "";
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    MidiSourceState& state = StateOf(object);
    std::lock_guard<std::mutex> lock(state.lock);
    switch (id) {
    case PROP_LOCATION: g_value_set_string(value, state.location.c_str()); break;
    case PROP_SOUNDFONT: g_value_set_string(value, state.soundFont.c_str()); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec); break;
    }
}

void Finalize(GObject* object) {
    delete reinterpret_cast<SonovertMidiSrc*>(object)->state;
    G_OBJECT_CLASS(sonovert_midi_src_parent_class)->finalize(object);
}

// Loads the song and makes the renderer as the element goes from READY to PAUSED, so that
// the duration is known before anything has been played. Returning FALSE fails the state
// change, after the error has been posted.
gboolean Start(GstBaseSrc* src) {
    MidiSourceState& state = StateOf(src);
    std::string location, soundFont;
    {
        std::lock_guard<std::mutex> lock(state.lock);
        location = state.location;
        soundFont = state.soundFont;
    }
    if (location.empty()) {
        GST_ELEMENT_ERROR(src, RESOURCE, NOT_FOUND, ("No MIDI file was given."), (NULL));
        return FALSE;
    }
    std::string error;
    media::MidiSong::Failure failure = media::MidiSong::Failure::None;
    std::unique_ptr<media::MidiSong> song = media::MidiSong::Load(location, &error, &failure);
    if (!song) {
        const char* path = location.c_str();
        const char* reason = error.c_str();
        switch (failure) {
        case media::MidiSong::Failure::NotFound:
            GST_ELEMENT_ERROR(src, RESOURCE, NOT_FOUND, ("Cannot open \"%s\": %s.", path, reason), (NULL));
            break;
        case media::MidiSong::Failure::Unreadable:
            GST_ELEMENT_ERROR(src, RESOURCE, OPEN_READ, ("Cannot open \"%s\": %s.", path, reason), (NULL));
            break;
        case media::MidiSong::Failure::NotMidi:
            GST_ELEMENT_ERROR(src, STREAM, WRONG_TYPE, ("Cannot play \"%s\": %s.", path, reason), (NULL));
            break;
        default:
            GST_ELEMENT_ERROR(src, STREAM, DECODE, ("Cannot play \"%s\": %s.", path, reason), (NULL));
            break;
        }
        return FALSE;
    }
    std::unique_ptr<media::MidiRenderer> renderer =
        media::MidiRenderer::Create(*song, kRate, soundFont, &error);
    if (!renderer) {
        if (g_file_test(soundFont.c_str(), G_FILE_TEST_EXISTS))
            GST_ELEMENT_ERROR(src, RESOURCE, OPEN_READ, ("%s.", error.c_str()), (NULL));
        else
            GST_ELEMENT_ERROR(src, RESOURCE, NOT_FOUND, ("%s.", error.c_str()), (NULL));
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(state.lock);
    state.renderer = std::move(renderer);
    state.song = std::move(song);
    state.untouched = true;
    state.pushedEnd = 0;
    return TRUE;
}

gboolean Stop(GstBaseSrc* src) {
    MidiSourceState& state = StateOf(src);
    std::lock_guard<std::mutex> lock(state.lock);
    state.renderer.reset();
    state.song.reset();
    return TRUE;
}

gboolean IsSeekable(GstBaseSrc*) { return TRUE; }

// Called with the stream lock held, while the streaming thread is stopped.
gboolean DoSeek(GstBaseSrc* src, GstSegment* segment) {
    if (segment->format != GST_FORMAT_TIME || segment->rate < 0) return FALSE;
    MidiSourceState& state = StateOf(src);
    std::lock_guard<std::mutex> lock(state.lock);
    if (!state.renderer) return FALSE;
    uint64_t target = gst_util_uint64_scale_int_round(segment->start, kRate, GST_SECOND);
    // The seek that starts every stream finds a fresh renderer already in place.
    if (!(state.untouched && target == state.renderer->FramePosition()))
        state.renderer->SeekTo(double(target) / kRate);
    state.untouched = true;
    state.pushedEnd = state.renderer->FramePosition();
    return TRUE;
}

gboolean Query(GstBaseSrc* src, GstQuery* query) {
    MidiSourceState& state = StateOf(src);
    GstFormat format = GST_FORMAT_UNDEFINED;
    switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_DURATION: {
        gst_query_parse_duration(query, &format, nullptr);
        if (format != GST_FORMAT_TIME) break;
        std::lock_guard<std::mutex> lock(state.lock);
        if (!state.song) break;
        gst_query_set_duration(query, GST_FORMAT_TIME,
                               gint64(std::llround(state.song->LengthSeconds() * GST_SECOND)));
        return TRUE;
    }
    case GST_QUERY_POSITION: {
        gst_query_parse_position(query, &format, nullptr);
        if (format != GST_FORMAT_TIME) break;
        std::lock_guard<std::mutex> lock(state.lock);
        if (!state.renderer) break;
        gst_query_set_position(query, GST_FORMAT_TIME, gint64(FramesToTime(state.pushedEnd)));
        return TRUE;
    }
    default:
        break;
    }
    return GST_BASE_SRC_CLASS(sonovert_midi_src_parent_class)->query(src, query);
}

// Runs on the streaming thread with the stream lock held.
GstFlowReturn Create(GstBaseSrc* src, guint64, guint, GstBuffer** out) {
    MidiSourceState& state = StateOf(src);
    std::lock_guard<std::mutex> lock(state.lock);
    if (!state.renderer) return GST_FLOW_FLUSHING;
    if (state.renderer->Finished()) return GST_FLOW_EOS;

    uint64_t start = state.renderer->FramePosition();
    uint64_t frames = kBufferFrames;
    // A seek with a stop position ends the stream there.
    const GstSegment& segment = src->segment;
    if (segment.format == GST_FORMAT_TIME && GST_CLOCK_TIME_IS_VALID(segment.stop)) {
        uint64_t stop = gst_util_uint64_scale_int_round(segment.stop, kRate, GST_SECOND);
        if (start >= stop) return GST_FLOW_EOS;
        frames = std::min(frames, stop - start);
    }

    BufferHolder buffer(gst_buffer_new_allocate(nullptr, frames * kBytesPerFrame, nullptr));
    if (!buffer) return GST_FLOW_ERROR;
    GstMapInfo map;
    if (!gst_buffer_map(buffer.get(), &map, GST_MAP_WRITE)) return GST_FLOW_ERROR;
    auto* samples = reinterpret_cast<int16_t*>(map.data);
    size_t rendered = state.renderer->Render(samples, size_t(frames));
#if G_BYTE_ORDER == G_BIG_ENDIAN
    for (size_t i = 0; i < 2 * rendered; ++i) samples[i] = GINT16_TO_LE(samples[i]);
#endif
    gst_buffer_unmap(buffer.get(), &map);
    state.untouched = false;
    if (rendered == 0) return GST_FLOW_EOS;

    gst_buffer_set_size(buffer.get(), gssize(rendered * kBytesPerFrame));
    GstBuffer* b = buffer.get();
    GST_BUFFER_PTS(b) = FramesToTime(start);
    GST_BUFFER_DTS(b) = GST_BUFFER_PTS(b);
    GST_BUFFER_DURATION(b) = FramesToTime(start + rendered) - GST_BUFFER_PTS(b);
    GST_BUFFER_OFFSET(b) = start;
    GST_BUFFER_OFFSET_END(b) = start + rendered;
    state.pushedEnd = start + rendered;
    *out = buffer.release();
    return GST_FLOW_OK;
}

void sonovert_midi_src_class_init(SonovertMidiSrcClass* klass) {
    GObjectClass* objectClass = G_OBJECT_CLASS(klass);
    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    GstBaseSrcClass* baseClass = GST_BASE_SRC_CLASS(klass);

    objectClass->set_property = SetProperty;
    objectClass->get_property = GetProperty;
    objectClass->finalize = Finalize;
    auto flags = GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(
        objectClass, PROP_LOCATION,
        g_param_spec_string("location", "Location", "UTF-8 path of the MIDI file", nullptr, flags));
    g_object_class_install_property(
        objectClass, PROP_SOUNDFONT,
        g_param_spec_string("soundfont", "SoundFont", "UTF-8 path of the SoundFont to play with",
                            media::MidiRenderer::kDefaultSoundFont, flags));

    gst_element_class_set_static_metadata(elementClass, "SONOVERT MIDI source", "Source/Audio",
                                          "Plays a MIDI file through a SoundFont synthesiser",
                                          "SONOVERT");
    gst_element_class_add_static_pad_template(elementClass, &srcTemplate);

    baseClass->start = Start;
    baseClass->stop = Stop;
    baseClass->is_seekable = IsSeekable;
    baseClass->do_seek = DoSeek;
    baseClass->query = Query;
    baseClass->create = Create;
}

void sonovert_midi_src_init(SonovertMidiSrc* self) {
    self->state = new MidiSourceState();
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
    gst_base_src_set_live(GST_BASE_SRC(self), FALSE);
}

}  // namespace

namespace media {

bool RegisterMidiSourceElement() {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        registered = gst_element_register(nullptr, kMidiSourceFactoryName, GST_RANK_NONE,
                                          sonovert_midi_src_get_type());
    });
    return registered;
}

}  // namespace media
