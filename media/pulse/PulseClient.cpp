// The connection behind PulseClient: a threaded mainloop and a context.
// A blocking call holds the mainloop lock, sends its requests and sleeps in
// pa_threaded_mainloop_wait until they settle; operation and context state changes
// and a timer at the deadline wake it, so no call outlives its deadline.
// The watch keeps the set of device keys it last saw; every card, sink or source that
// comes or goes makes it list the server again and report the difference. A removal
// of the object that owns a device is reported at once, so that a device which goes
// and comes back before the next listing is still seen going.
// libpulse runs every callback with its mainloop lock held (and refuses
// pa_threaded_mainloop_once_unlocked from its own thread), so reports are queued there
// and handed to the program by a notifier thread of the watch, which holds no lock.

#include "media/pulse/PulseClient.h"

#include "media/pulse/DeviceGrouping.h"
#include "media/pulse/PulseHolders.h"

#include <pulse/pulseaudio.h>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace {

constexpr pa_usec_t kConnectTimeout = 3 * PA_USEC_PER_SEC;
constexpr pa_usec_t kRequestTimeout = 3 * PA_USEC_PER_SEC;
constexpr int kListingParts = 3; // cards, sinks, sources

// GStreamer's names for the raw formats; A-law and mu-law are not raw audio there.
std::string GstFormat(pa_sample_format_t format)
{
    switch (format) {
    case PA_SAMPLE_U8: return "U8";
    case PA_SAMPLE_S16LE: return "S16LE";
    case PA_SAMPLE_S16BE: return "S16BE";
    case PA_SAMPLE_FLOAT32LE: return "F32LE";
    case PA_SAMPLE_FLOAT32BE: return "F32BE";
    case PA_SAMPLE_S32LE: return "S32LE";
    case PA_SAMPLE_S32BE: return "S32BE";
    case PA_SAMPLE_S24LE: return "S24LE";
    case PA_SAMPLE_S24BE: return "S24BE";
    case PA_SAMPLE_S24_32LE: return "S24_32LE";
    case PA_SAMPLE_S24_32BE: return "S24_32BE";
    default: return {};
    }
}

std::string Text(const char* text)
{
    return text ? text : "";
}

// The "device.description" property, else the server's description field.
std::string Description(const pa_proplist* properties, const char* fallback)
{
    const char* value = properties ? pa_proplist_gets(properties, PA_PROP_DEVICE_DESCRIPTION) : nullptr;
    return value && *value ? value : Text(fallback);
}

struct Deadline {
    pa_threaded_mainloop* loop = nullptr;
    bool expired = false;
};

void OnDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata)
{
    auto* deadline = static_cast<Deadline*>(userdata);
    deadline->expired = true;
    pa_threaded_mainloop_signal(deadline->loop, 0);
}

void OnOperationState(pa_operation*, void* userdata)
{
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(userdata), 0);
}

void OnSuccess(pa_context*, int success, void* userdata)
{
    *static_cast<bool*>(userdata) = success != 0;
}

struct SourceQuery {
    bool found = false;
    pa_cvolume volume{};
};

void OnSourceQuery(pa_context*, const pa_source_info* info, int, void* userdata)
{
    auto* query = static_cast<SourceQuery*>(userdata);
    if (info) {
        query->found = true;
        query->volume = info->volume;
    }
}

bool Contains(const std::vector<std::string>& keys, const std::string& key)
{
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

} // namespace

struct PulseClient::Impl {
    // One listing of cards, sinks and sources. A watcher is told when all three are in.
    struct Listing {
        PulseObjects objects;
        bool failed = false;
        int finished = 0;
        Impl* watcher = nullptr;
        std::vector<OperationPtr> ops;
    };

    ThreadedMainloopPtr loop;
    ContextPtr context;
    bool running = false; // the libpulse thread runs
    std::atomic<bool> connected{false};

    // The watch. Touched on the libpulse thread or with the mainloop lock held.
    bool watching = false;
    bool primed = false; // the first listing is in: `present` holds the devices
    bool primeFailed = false;
    bool dirty = false; // something changed while a listing was under way
    std::unique_ptr<Listing> refresh;
    std::vector<std::string> present; // device keys, in device order
    std::map<std::pair<PulseFacility, uint32_t>, std::string> owners;

    // Reports on their way to the program. Guarded by deliveryMutex, except `notifier`,
    // which only StartWatch and StopWatch touch.
    std::mutex deliveryMutex;
    std::condition_variable deliveryWake;
    std::shared_ptr<const DeviceCallback> callback; // null: nobody listens
    std::deque<std::pair<std::string, bool>> notices;
    bool notifierStop = false;
    std::atomic<std::thread::id> notifierId{};
    // StartWatch and StopWatch from outside the callback take turns on this.
    std::mutex watchControl;
    std::thread notifier; // guarded by watchControl

    void Connect(const std::string& server);
    void Shutdown();

    // A blocking call may go ahead on this thread: never on the libpulse thread,
    // which would wait for itself.
    bool Callable() const { return running && !pa_threaded_mainloop_in_thread(loop.get()); }
    // Mainloop lock held.
    bool Ready() const { return pa_context_get_state(context.get()) == PA_CONTEXT_READY; }

    template <class Condition>
    bool WaitUntil(Condition condition, pa_usec_t deadline);
    bool Await(std::vector<OperationPtr>& ops, pa_usec_t deadline);
    void StartListing(Listing& listing);
    bool QuerySource(const std::string& name, SourceQuery& query, pa_usec_t deadline);

    bool BeginWatch(pa_usec_t deadline);
    void EndWatch();
    void LoseWatch();
    void RequestRefresh();
    void FinishRefresh();
    void Apply(const std::vector<DeviceOwner>& devices);
    void Gone(PulseFacility facility, uint32_t index);
    void Post(const std::string& key, bool isPresent);

    static void OnContextState(pa_context* context, void* userdata);
    static void OnEvent(pa_context* context, pa_subscription_event_type_t event, uint32_t index, void* userdata);
    static void OnCard(pa_context* context, const pa_card_info* info, int eol, void* userdata);
    static void OnSink(pa_context* context, const pa_sink_info* info, int eol, void* userdata);
    static void OnSource(pa_context* context, const pa_source_info* info, int eol, void* userdata);
    static void ListingPartDone(Listing* listing, int eol);
    void Notify();
    bool OnNotifier() const { return notifierId.load() == std::this_thread::get_id(); }
    void StopWatching();
};

// --- connection ---------------------------------------------------------------

void PulseClient::Impl::Connect(const std::string& server)
{
    loop.reset(pa_threaded_mainloop_new());
    if (!loop)
        return;
    pa_threaded_mainloop_set_name(loop.get(), "sonovert-pulse");
    ProplistPtr properties(pa_proplist_new());
    pa_proplist_sets(properties.get(), PA_PROP_APPLICATION_NAME, "SONOVERT");
    context.reset(pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop.get()), "SONOVERT", properties.get()));
    if (!context)
        return;
    pa_context_set_state_callback(context.get(), OnContextState, this);
    // No autospawn: the program uses the server it finds and never starts one.
    if (pa_context_connect(context.get(), server.empty() ? nullptr : server.c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return;
    if (pa_threaded_mainloop_start(loop.get()) < 0)
        return;
    running = true;

    const pa_usec_t deadline = pa_rtclock_now() + kConnectTimeout;
    MainloopLock lock(loop.get());
    if (!WaitUntil([this] { return Ready(); }, deadline))
        pa_context_disconnect(context.get());
}

void PulseClient::Impl::Shutdown()
{
    if (running) {
        {
            MainloopLock lock(loop.get());
            pa_context_set_state_callback(context.get(), nullptr, nullptr);
            pa_context_set_subscribe_callback(context.get(), nullptr, nullptr);
            pa_context_disconnect(context.get());
        }
        pa_threaded_mainloop_stop(loop.get());
        running = false;
    }
    connected = false;
    context.reset();
    loop.reset();
}

// Runs wherever the state changes: the libpulse thread, or a thread holding the lock.
void PulseClient::Impl::OnContextState(pa_context* context, void* userdata)
{
    auto* self = static_cast<Impl*>(userdata);
    const pa_context_state_t state = pa_context_get_state(context);
    self->connected = state == PA_CONTEXT_READY;
    if (!PA_CONTEXT_IS_GOOD(state))
        self->LoseWatch();
    pa_threaded_mainloop_signal(self->loop.get(), 0);
}

// --- waiting ------------------------------------------------------------------

// Mainloop lock held, not on the libpulse thread.
template <class Condition>
bool PulseClient::Impl::WaitUntil(Condition condition, pa_usec_t deadline)
{
    if (condition())
        return true;
    Deadline timer{loop.get()};
    TimeEventPtr event(pa_context_rttime_new(context.get(), deadline, OnDeadline, &timer),
                       TimeEventRelease{pa_threaded_mainloop_get_api(loop.get())});
    if (!event)
        return false;
    while (!condition() && !timer.expired && PA_CONTEXT_IS_GOOD(pa_context_get_state(context.get())))
        pa_threaded_mainloop_wait(loop.get());
    return condition();
}

// Mainloop lock held. True when every operation completed; whatever is still running
// at the deadline is cancelled, so its callback never runs.
bool PulseClient::Impl::Await(std::vector<OperationPtr>& ops, pa_usec_t deadline)
{
    auto running = [](const OperationPtr& op) { return pa_operation_get_state(op.get()) == PA_OPERATION_RUNNING; };
    bool started = std::all_of(ops.begin(), ops.end(), [](const OperationPtr& op) { return op != nullptr; });
    if (started) {
        for (OperationPtr& op : ops)
            pa_operation_set_state_callback(op.get(), OnOperationState, loop.get());
        WaitUntil([&] { return std::none_of(ops.begin(), ops.end(), running); }, deadline);
    }
    bool done = started;
    for (OperationPtr& op : ops) {
        if (op && running(op))
            pa_operation_cancel(op.get());
        done = done && op && pa_operation_get_state(op.get()) == PA_OPERATION_DONE;
    }
    return done;
}

// Mainloop lock held.
void PulseClient::Impl::StartListing(Listing& listing)
{
    pa_context* c = context.get();
    listing.ops.emplace_back(pa_context_get_card_info_list(c, OnCard, &listing));
    listing.ops.emplace_back(pa_context_get_sink_info_list(c, OnSink, &listing));
    listing.ops.emplace_back(pa_context_get_source_info_list(c, OnSource, &listing));
}

bool PulseClient::Impl::QuerySource(const std::string& name, SourceQuery& query, pa_usec_t deadline)
{
    std::vector<OperationPtr> ops;
    ops.emplace_back(pa_context_get_source_info_by_name(context.get(), name.c_str(), OnSourceQuery, &query));
    return Await(ops, deadline);
}

void PulseClient::Impl::OnCard(pa_context*, const pa_card_info* info, int eol, void* userdata)
{
    auto* listing = static_cast<Listing*>(userdata);
    if (!info)
        return ListingPartDone(listing, eol);
    listing->objects.cards.push_back({info->index, Text(info->name), Description(info->proplist, nullptr)});
}

void PulseClient::Impl::OnSink(pa_context*, const pa_sink_info* info, int eol, void* userdata)
{
    auto* listing = static_cast<Listing*>(userdata);
    if (!info)
        return ListingPartDone(listing, eol);
    listing->objects.sinks.push_back({info->index, Text(info->name), Description(info->proplist, info->description),
                                      info->card, info->monitor_source});
}

void PulseClient::Impl::OnSource(pa_context*, const pa_source_info* info, int eol, void* userdata)
{
    auto* listing = static_cast<Listing*>(userdata);
    if (!info)
        return ListingPartDone(listing, eol);
    listing->objects.sources.push_back({info->index, Text(info->name), Description(info->proplist, info->description),
                                        info->card, info->monitor_of_sink != PA_INVALID_INDEX,
                                        GstFormat(info->sample_spec.format), info->sample_spec.rate,
                                        info->sample_spec.channels});
}

// The last thing a listing callback does: a watcher may free the listing.
void PulseClient::Impl::ListingPartDone(Listing* listing, int eol)
{
    if (eol < 0)
        listing->failed = true;
    if (++listing->finished == kListingParts && listing->watcher)
        listing->watcher->FinishRefresh();
}

// --- the watch (libpulse thread, or mainloop lock held) ----------------------------

bool PulseClient::Impl::BeginWatch(pa_usec_t deadline)
{
    watching = true;
    primed = false;
    primeFailed = false;
    dirty = false;
    present.clear();
    owners.clear();
    pa_context_set_subscribe_callback(context.get(), OnEvent, this);
    const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_CARD | PA_SUBSCRIPTION_MASK_SINK |
                                                          PA_SUBSCRIPTION_MASK_SOURCE);
    bool subscribed = false;
    std::vector<OperationPtr> ops;
    ops.emplace_back(pa_context_subscribe(context.get(), mask, OnSuccess, &subscribed));
    if (!Await(ops, deadline) || !subscribed)
        return false;
    RequestRefresh();
    return WaitUntil([this] { return primed || primeFailed || !watching; }, deadline) && primed;
}

void PulseClient::Impl::EndWatch()
{
    if (refresh) {
        for (OperationPtr& op : refresh->ops)
            if (op && pa_operation_get_state(op.get()) == PA_OPERATION_RUNNING)
                pa_operation_cancel(op.get());
        refresh.reset();
    }
    if (watching && context) {
        pa_context_set_subscribe_callback(context.get(), nullptr, nullptr);
        if (Ready())
            OperationPtr(pa_context_subscribe(context.get(), PA_SUBSCRIPTION_MASK_NULL, nullptr, nullptr));
    }
    watching = false;
    primed = false;
    dirty = false;
    present.clear();
    owners.clear();
}

// The connection is gone: as far as the program can know, so is every device.
void PulseClient::Impl::LoseWatch()
{
    if (!watching)
        return;
    if (primed)
        for (const std::string& key : present)
            Post(key, false);
    EndWatch();
}

void PulseClient::Impl::RequestRefresh()
{
    if (refresh) {
        dirty = true;
        return;
    }
    dirty = false;
    refresh = std::make_unique<Listing>();
    refresh->watcher = this;
    StartListing(*refresh);
    if (std::any_of(refresh->ops.begin(), refresh->ops.end(), [](const OperationPtr& op) { return !op; })) {
        LoseWatch(); // the context refuses requests: it is going down
        primeFailed = true;
        pa_threaded_mainloop_signal(loop.get(), 0);
    }
}

void PulseClient::Impl::FinishRefresh()
{
    std::unique_ptr<Listing> done = std::move(refresh);
    if (dirty) {
        // Changed while listing: this listing may hold half of the change.
        RequestRefresh();
        return;
    }
    if (done->failed)
        primeFailed = !primed;
    else
        Apply(CaptureDeviceOwners(done->objects));
    pa_threaded_mainloop_signal(loop.get(), 0);
}

void PulseClient::Impl::Apply(const std::vector<DeviceOwner>& devices)
{
    std::vector<std::string> keys;
    std::map<std::pair<PulseFacility, uint32_t>, std::string> newOwners;
    for (const DeviceOwner& device : devices) {
        keys.push_back(device.key);
        newOwners[{device.facility, device.index}] = device.key;
    }
    if (primed) {
        for (const std::string& key : present)
            if (!Contains(keys, key))
                Post(key, false);
        for (const std::string& key : keys)
            if (!Contains(present, key))
                Post(key, true);
    }
    present = std::move(keys);
    owners = std::move(newOwners);
    primed = true;
}

void PulseClient::Impl::Gone(PulseFacility facility, uint32_t index)
{
    auto found = owners.find({facility, index});
    if (found == owners.end())
        return;
    const std::string key = found->second;
    owners.erase(found);
    present.erase(std::remove(present.begin(), present.end(), key), present.end());
    Post(key, false);
}

void PulseClient::Impl::OnEvent(pa_context*, pa_subscription_event_type_t event, uint32_t index, void* userdata)
{
    auto* self = static_cast<Impl*>(userdata);
    if (!self->watching)
        return;
    const auto type = event & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (type == PA_SUBSCRIPTION_EVENT_CHANGE) // volume, state, properties: no device comes or goes
        return;
    PulseFacility facility;
    switch (event & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) {
    case PA_SUBSCRIPTION_EVENT_CARD: facility = PulseFacility::Card; break;
    case PA_SUBSCRIPTION_EVENT_SINK: facility = PulseFacility::Sink; break;
    case PA_SUBSCRIPTION_EVENT_SOURCE: facility = PulseFacility::Source; break;
    default: return;
    }
    if (type == PA_SUBSCRIPTION_EVENT_REMOVE && self->primed)
        self->Gone(facility, index);
    self->RequestRefresh();
}

// --- delivery -----------------------------------------------------------------

// libpulse thread, mainloop lock held: only queue the report.
void PulseClient::Impl::Post(const std::string& key, bool isPresent)
{
    std::lock_guard<std::mutex> guard(deliveryMutex);
    if (!callback)
        return;
    notices.emplace_back(key, isPresent);
    deliveryWake.notify_one();
}

// The notifier thread: hands the reports over in order, holding no lock meanwhile.
void PulseClient::Impl::Notify()
{
    pthread_setname_np(pthread_self(), "sonovert-watch");
    std::unique_lock<std::mutex> guard(deliveryMutex);
    notifierId = std::this_thread::get_id();
    for (;;) {
        deliveryWake.wait(guard, [this] { return notifierStop || !notices.empty(); });
        if (notifierStop) {
            notifierId = std::thread::id(); // ids are reused once a thread has ended
            return;
        }
        std::pair<std::string, bool> notice = std::move(notices.front());
        notices.pop_front();
        std::shared_ptr<const DeviceCallback> call = callback;
        guard.unlock();
        if (call)
            (*call)(notice.first, notice.second);
        guard.lock();
    }
}

// Ends the watch; the notifier thread finishes a callback that is running and ends.
// Any thread but the libpulse thread.
void PulseClient::Impl::StopWatching()
{
    {
        std::lock_guard<std::mutex> guard(deliveryMutex);
        callback.reset();
        notices.clear();
        notifierStop = true;
        deliveryWake.notify_all();
    }
    if (running) {
        MainloopLock lock(loop.get());
        EndWatch();
    }
}

// --- PulseClient --------------------------------------------------------------

PulseClient::PulseClient(const std::string& server) : impl_(std::make_unique<Impl>())
{
    impl_->Connect(server);
}

PulseClient::~PulseClient()
{
    StopWatch();
    impl_->Shutdown();
}

bool PulseClient::Connected() const
{
    return impl_->connected;
}

std::vector<CaptureDevice> PulseClient::ListCaptureDevices()
{
    Impl& d = *impl_;
    if (!d.Callable())
        return {};
    const pa_usec_t deadline = pa_rtclock_now() + kRequestTimeout;
    Impl::Listing listing;
    {
        MainloopLock lock(d.loop.get());
        if (!d.Ready())
            return {};
        d.StartListing(listing);
        if (!d.Await(listing.ops, deadline) || listing.failed)
            return {};
        listing.ops.clear();
    }
    return GroupCaptureDevices(listing.objects);
}

bool PulseClient::GetSourceVolume(const std::string& sourceName, double* level)
{
    Impl& d = *impl_;
    if (!level || sourceName.empty() || !d.Callable())
        return false;
    const pa_usec_t deadline = pa_rtclock_now() + kRequestTimeout;
    SourceQuery query;
    {
        MainloopLock lock(d.loop.get());
        if (!d.Ready() || !d.QuerySource(sourceName, query, deadline) || !query.found ||
            !pa_cvolume_valid(&query.volume))
            return false;
    }
    *level = static_cast<double>(pa_cvolume_avg(&query.volume)) / PA_VOLUME_NORM;
    return true;
}

bool PulseClient::SetSourceVolume(const std::string& sourceName, double level)
{
    Impl& d = *impl_;
    if (sourceName.empty() || std::isnan(level) || !d.Callable())
        return false;
    const auto volume = static_cast<pa_volume_t>(std::lround(std::clamp(level, 0.0, 1.0) * PA_VOLUME_NORM));
    const pa_usec_t deadline = pa_rtclock_now() + kRequestTimeout;
    MainloopLock lock(d.loop.get());
    SourceQuery query; // the source's channel count
    if (!d.Ready() || !d.QuerySource(sourceName, query, deadline) || !query.found || query.volume.channels == 0)
        return false;
    pa_cvolume volumes;
    pa_cvolume_set(&volumes, query.volume.channels, volume);
    bool applied = false;
    std::vector<OperationPtr> ops;
    ops.emplace_back(
        pa_context_set_source_volume_by_name(d.context.get(), sourceName.c_str(), &volumes, OnSuccess, &applied));
    return d.Await(ops, deadline) && applied;
}

bool PulseClient::SourceExists(const std::string& sourceName)
{
    Impl& d = *impl_;
    if (sourceName.empty() || !d.Callable())
        return false;
    const pa_usec_t deadline = pa_rtclock_now() + kRequestTimeout;
    SourceQuery query;
    MainloopLock lock(d.loop.get());
    return d.Ready() && d.QuerySource(sourceName, query, deadline) && query.found;
}

bool PulseClient::StartWatch(DeviceCallback callback)
{
    Impl& d = *impl_;
    if (!callback || !d.Callable() || d.OnNotifier())
        return false;
    std::lock_guard<std::mutex> control(d.watchControl);
    {
        std::lock_guard<std::mutex> guard(d.deliveryMutex);
        if (d.callback)
            return false;
    }
    if (d.notifier.joinable()) // left by a StopWatch from inside the callback
        d.notifier.join();
    {
        std::lock_guard<std::mutex> guard(d.deliveryMutex);
        d.callback = std::make_shared<const DeviceCallback>(std::move(callback));
        d.notices.clear();
        d.notifierStop = false;
    }
    d.notifier = std::thread([&d] { d.Notify(); });

    bool started = false;
    {
        const pa_usec_t deadline = pa_rtclock_now() + kRequestTimeout;
        MainloopLock lock(d.loop.get());
        started = d.Ready() && d.BeginWatch(deadline);
    }
    if (!started) {
        d.StopWatching();
        d.notifier.join();
    }
    return started;
}

void PulseClient::StopWatch()
{
    Impl& d = *impl_;
    if (d.running && pa_threaded_mainloop_in_thread(d.loop.get()))
        return; // never: no callback of ours runs there
    if (d.OnNotifier()) {
        d.StopWatching(); // the thread ends once this callback returns
        return;
    }
    std::lock_guard<std::mutex> control(d.watchControl);
    d.StopWatching();
    if (d.notifier.joinable())
        d.notifier.join();
}
