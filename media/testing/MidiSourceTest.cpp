// The sonovertmidisrc element in real GStreamer pipelines ending in an appsink: what it
// delivers, what it answers, how it seeks and how it fails. Every wait is bounded.
#include "media/midi/MidiSource.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "media/midi/OfflineRender.h"
#include "tests/support/MidiWriter.h"

namespace {

using testsupport::MidiWriter;
using Samples = std::vector<int16_t>;

constexpr int kRate = 44100;
constexpr GstClockTime kPullTimeout = 10 * GST_SECOND;
constexpr GstClockTime kOneMillisecond = GST_MSECOND;

struct PipelineDeleter {
    void operator()(GstElement* pipeline) const {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }
};
struct ObjectDeleter {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
struct SampleDeleter {
    void operator()(GstSample* sample) const { gst_sample_unref(sample); }
};
struct MessageDeleter {
    void operator()(GstMessage* message) const { gst_message_unref(message); }
};
struct ErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
struct TextDeleter {
    void operator()(gchar* text) const { g_free(text); }
};
using PipelineHolder = std::unique_ptr<GstElement, PipelineDeleter>;
using BusHolder = std::unique_ptr<GstBus, ObjectDeleter>;
using FactoryHolder = std::unique_ptr<GstElementFactory, ObjectDeleter>;
using SampleHolder = std::unique_ptr<GstSample, SampleDeleter>;
using MessageHolder = std::unique_ptr<GstMessage, MessageDeleter>;
using ErrorHolder = std::unique_ptr<GError, ErrorDeleter>;
using TextHolder = std::unique_ptr<gchar, TextDeleter>;

// sonovertmidisrc ! appsink; the bin owns both elements.
struct Pipeline {
    PipelineHolder pipeline;
    GstElement* source = nullptr;
    GstAppSink* sink = nullptr;
};

Pipeline MakePipeline(const std::string& location, guint maxBuffers = 0) {
    Pipeline made;
    made.pipeline.reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    made.source = gst_element_factory_make(media::kMidiSourceFactoryName, nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (!made.source || !sink) return made;
    g_object_set(made.source, "location", location.c_str(), nullptr);
    // Without sync the pipeline runs as fast as it can; a bounded queue makes the pulls
    // pace it instead.
    g_object_set(sink, "sync", FALSE, "max-buffers", maxBuffers, nullptr);
    gst_bin_add_many(GST_BIN(made.pipeline.get()), made.source, sink, nullptr);
    EXPECT_TRUE(gst_element_link(made.source, sink));
    made.sink = GST_APP_SINK(sink);
    return made;
}

// One buffer as the appsink received it.
struct Received {
    GstClockTime pts;
    GstClockTime duration;
    guint64 offset;
    guint64 offsetEnd;
    size_t frames;
};

// Pulls until EOS, or until `maxFrames` frames have come; appends the samples.
std::vector<Received> Pull(GstAppSink* sink, Samples* samples, size_t maxFrames = SIZE_MAX) {
    std::vector<Received> received;
    size_t frames = 0;
    while (frames < maxFrames) {
        SampleHolder sample(gst_app_sink_try_pull_sample(sink, kPullTimeout));
        if (!sample) break;
        GstBuffer* buffer = gst_sample_get_buffer(sample.get());
        GstMapInfo map;
        if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ)) break;
        size_t n = map.size / 4;
        const auto* data = reinterpret_cast<const int16_t*>(map.data);
        samples->insert(samples->end(), data, data + 2 * n);
        gst_buffer_unmap(buffer, &map);
        received.push_back({GST_BUFFER_PTS(buffer), GST_BUFFER_DURATION(buffer), GST_BUFFER_OFFSET(buffer),
                            GST_BUFFER_OFFSET_END(buffer), n});
        frames += n;
    }
    return received;
}

MessageHolder WaitFor(GstElement* pipeline, GstMessageType types, GstClockTime timeout = 10 * GST_SECOND) {
    BusHolder bus(gst_element_get_bus(pipeline));
    return MessageHolder(gst_bus_timed_pop_filtered(bus.get(), timeout, types));
}

class MidiSource : public testing::Test {
protected:
    static void SetUpTestSuite() {
        gst_init(nullptr, nullptr);
        ASSERT_TRUE(media::RegisterMidiSourceElement());
    }

    void SetUp() override {
        char pattern[] = "/tmp/sonovert-midisrc-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        folder_ = pattern;
        songPath_ = folder_ + "/test song.mid";
        ASSERT_TRUE(writer_.Save(songPath_));
        std::string error;
        ASSERT_TRUE(media::RenderMidiFile(songPath_, kRate, &reference_, &error)) << error;
    }

    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    std::string folder_;
    std::string songPath_;
    MidiWriter writer_ = MidiWriter::TestSong();
    Samples reference_;
};

TEST_F(MidiSource, DeliversTheOfflineRenderInTimedBuffersThenEos) {
    Pipeline p = MakePipeline(songPath_);
    ASSERT_TRUE(p.sink);
    ASSERT_NE(gst_element_set_state(p.pipeline.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);

    SampleHolder first(gst_app_sink_try_pull_preroll(p.sink, kPullTimeout));
    ASSERT_TRUE(first);
    GstStructure* caps = gst_caps_get_structure(gst_sample_get_caps(first.get()), 0);
    EXPECT_STREQ(gst_structure_get_name(caps), "audio/x-raw");
    EXPECT_STREQ(gst_structure_get_string(caps, "format"), "S16LE");
    EXPECT_STREQ(gst_structure_get_string(caps, "layout"), "interleaved");
    int rate = 0, channels = 0;
    EXPECT_TRUE(gst_structure_get_int(caps, "rate", &rate) && rate == kRate);
    EXPECT_TRUE(gst_structure_get_int(caps, "channels", &channels) && channels == 2);

    Samples samples;
    std::vector<Received> buffers = Pull(p.sink, &samples);
    EXPECT_TRUE(gst_app_sink_is_eos(p.sink));
    MessageHolder end = WaitFor(p.pipeline.get(), GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_TRUE(end);
    EXPECT_EQ(GST_MESSAGE_TYPE(end.get()), GST_MESSAGE_EOS);

    EXPECT_EQ(samples.size(), reference_.size());
    EXPECT_TRUE(samples == reference_);
    // Buffers of 10 to 20 ms follow each other without gaps, in time and in frames.
    ASSERT_FALSE(buffers.empty());
    guint64 frame = 0;
    for (size_t i = 0; i < buffers.size(); ++i) {
        const Received& b = buffers[i];
        EXPECT_EQ(b.offset, frame) << "buffer " << i;
        EXPECT_EQ(b.offsetEnd, frame + b.frames) << "buffer " << i;
        EXPECT_EQ(b.pts, gst_util_uint64_scale_int(frame, GST_SECOND, kRate)) << "buffer " << i;
        EXPECT_EQ(b.pts + b.duration, gst_util_uint64_scale_int(frame + b.frames, GST_SECOND, kRate));
        if (i + 1 < buffers.size()) {
            EXPECT_GE(b.frames, size_t(kRate / 100));
            EXPECT_LE(b.frames, size_t(kRate / 50));
        }
        frame += b.frames;
    }
}

TEST_F(MidiSource, AnswersTheDurationBeforePlayingAndThePositionWhilePlaying) {
    Pipeline p = MakePipeline(songPath_, 4);
    ASSERT_TRUE(p.sink);
    ASSERT_NE(gst_element_set_state(p.pipeline.get(), GST_STATE_PAUSED), GST_STATE_CHANGE_FAILURE);
    const gint64 expected = gint64(std::llround(writer_.LengthSeconds() * GST_SECOND));
    gint64 fromSource = -1, fromPipeline = -1;
    EXPECT_TRUE(gst_element_query_duration(p.source, GST_FORMAT_TIME, &fromSource));
    EXPECT_TRUE(gst_element_query_duration(p.pipeline.get(), GST_FORMAT_TIME, &fromPipeline));
    EXPECT_NEAR(double(fromSource), double(expected), double(kOneMillisecond));
    EXPECT_NEAR(double(fromPipeline), double(expected), double(kOneMillisecond));

    ASSERT_NE(gst_element_set_state(p.pipeline.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    Samples samples;
    Pull(p.sink, &samples, size_t(kRate));
    gint64 position = -1;
    EXPECT_TRUE(gst_element_query_position(p.source, GST_FORMAT_TIME, &position));
    // The source has handed out what was pulled, and at most the few buffers queued after.
    EXPECT_GE(position, gint64(GST_SECOND));
    EXPECT_LE(position, gint64(GST_SECOND + 200 * GST_MSECOND));
}

TEST_F(MidiSource, SeeksBackToTheStartAfterPlayingPartWayAndPlaysItAllAgain) {
    Pipeline p = MakePipeline(songPath_, 4);
    ASSERT_TRUE(p.sink);
    ASSERT_NE(gst_element_set_state(p.pipeline.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    Samples before;
    Pull(p.sink, &before, size_t(3 * kRate));
    ASSERT_GE(before.size(), size_t(2 * 3 * kRate));

    ASSERT_TRUE(gst_element_seek_simple(p.pipeline.get(), GST_FORMAT_TIME,
                                        GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), 0));
    Samples after;
    std::vector<Received> buffers = Pull(p.sink, &after);
    ASSERT_FALSE(buffers.empty());
    EXPECT_EQ(buffers.front().pts, 0u);
    EXPECT_EQ(buffers.front().offset, 0u);
    EXPECT_TRUE(gst_app_sink_is_eos(p.sink));
    EXPECT_EQ(after.size(), reference_.size());
    EXPECT_TRUE(after == reference_);
}

TEST_F(MidiSource, SeeksIntoTheMiddle) {
    Pipeline p = MakePipeline(songPath_, 4);
    ASSERT_TRUE(p.sink);
    ASSERT_NE(gst_element_set_state(p.pipeline.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    Samples before;
    Pull(p.sink, &before, size_t(kRate));

    const GstClockTime target = 5 * GST_SECOND;
    ASSERT_TRUE(gst_element_seek_simple(p.pipeline.get(), GST_FORMAT_TIME,
                                        GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), gint64(target)));
    Samples after;
    std::vector<Received> buffers = Pull(p.sink, &after);
    ASSERT_FALSE(buffers.empty());
    EXPECT_EQ(buffers.front().pts, target);
    EXPECT_EQ(buffers.front().offset, guint64(5 * kRate));
    EXPECT_TRUE(gst_app_sink_is_eos(p.sink));
    // The music goes on from there: loud within the next second, and it ends as the whole
    // song does, give or take the ring-out of notes that were not restarted.
    int loudest = 0;
    for (size_t i = 0; i < std::min(after.size(), size_t(2 * kRate)); ++i) loudest = std::max(loudest, std::abs(int(after[i])));
    EXPECT_GT(loudest, 3000);
    double end = 5.0 + double(after.size()) / 2 / kRate;
    EXPECT_NEAR(end, double(reference_.size()) / 2 / kRate, 1.0);
}

struct FailureCase {
    const char* name;
    std::string (*location)(const std::string& folder);
    const char* soundFont;
    GQuark (*domain)();
    gint code;
    const char* messagePart;
};

class MidiSourceFails : public MidiSource, public testing::WithParamInterface<FailureCase> {};

TEST_P(MidiSourceFails, ToReachPausedAndSaysWhy) {
    const FailureCase& c = GetParam();
    Pipeline p = MakePipeline(c.location(folder_));
    ASSERT_TRUE(p.sink);
    if (c.soundFont) g_object_set(p.source, "soundfont", c.soundFont, nullptr);
    EXPECT_EQ(gst_element_set_state(p.pipeline.get(), GST_STATE_PAUSED), GST_STATE_CHANGE_FAILURE);
    MessageHolder message = WaitFor(p.pipeline.get(), GST_MESSAGE_ERROR, 5 * GST_SECOND);
    ASSERT_TRUE(message);
    GError* raw = nullptr;
    gchar* rawDebug = nullptr;
    gst_message_parse_error(message.get(), &raw, &rawDebug);
    ErrorHolder error(raw);
    TextHolder debug(rawDebug);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, c.domain());
    EXPECT_EQ(error->code, c.code);
    EXPECT_NE(std::strstr(error->message, c.messagePart), nullptr) << error->message;
    EXPECT_EQ(GST_MESSAGE_SRC(message.get()), GST_OBJECT(p.source));
}

std::string WriteFile(const std::string& folder, const char* name, const std::vector<uint8_t>& bytes) {
    std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

INSTANTIATE_TEST_SUITE_P(
    BadInputs, MidiSourceFails,
    testing::Values(
        FailureCase{"MissingFile", [](const std::string& f) { return f + "/missing.mid"; }, nullptr,
                    gst_resource_error_quark, GST_RESOURCE_ERROR_NOT_FOUND, "not found"},
        FailureCase{"NoLocation", [](const std::string&) { return std::string(); }, nullptr,
                    gst_resource_error_quark, GST_RESOURCE_ERROR_NOT_FOUND, "No MIDI file"},
        FailureCase{"TextRenamed",
                    [](const std::string& f) {
                        std::string text = "Dear diary, today I renamed a text file.\n";
                        return WriteFile(f, "diary.mid", std::vector<uint8_t>(text.begin(), text.end()));
                    },
                    nullptr, gst_stream_error_quark, GST_STREAM_ERROR_WRONG_TYPE, "not a MIDI file"},
        FailureCase{"Empty", [](const std::string& f) { return WriteFile(f, "empty.mid", {}); }, nullptr,
                    gst_stream_error_quark, GST_STREAM_ERROR_WRONG_TYPE, "empty"},
        FailureCase{"Truncated",
                    [](const std::string& f) {
                        std::vector<uint8_t> bytes = MidiWriter::TestSong().Bytes();
                        bytes.resize(bytes.size() / 2);
                        return WriteFile(f, "half.mid", bytes);
                    },
                    nullptr, gst_stream_error_quark, GST_STREAM_ERROR_DECODE, "truncated"},
        FailureCase{"MissingSoundFont", [](const std::string& f) { return f + "/test song.mid"; },
                    "/nonexistent/GM.sf2", gst_resource_error_quark, GST_RESOURCE_ERROR_NOT_FOUND,
                    "SoundFont not found"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(MidiSource, RegistersOnceFromAnyThreadWithItsProperties) {
    std::vector<std::thread> threads;
    bool results[4] = {};
    for (bool& result : results) threads.emplace_back([&result] { result = media::RegisterMidiSourceElement(); });
    for (std::thread& thread : threads) thread.join();
    for (bool result : results) EXPECT_TRUE(result);

    FactoryHolder factory(gst_element_factory_find(media::kMidiSourceFactoryName));
    ASSERT_TRUE(factory);
    PipelineHolder element(GST_ELEMENT(gst_object_ref_sink(gst_element_factory_create(factory.get(), nullptr))));
    ASSERT_TRUE(element);
    gchar* soundFont = nullptr;
    g_object_get(element.get(), "soundfont", &soundFont, nullptr);
    TextHolder soundFontHolder(soundFont);
    EXPECT_STREQ(soundFont, "/usr/share/sounds/sf2/default-GM.sf2");
    g_object_set(element.get(), "location", "/music/Lied für Ålesund.mid", nullptr);
    gchar* location = nullptr;
    g_object_get(element.get(), "location", &location, nullptr);
    TextHolder locationHolder(location);
    EXPECT_STREQ(location, "/music/Lied für Ålesund.mid");
}

}  // namespace
