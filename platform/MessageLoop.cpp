#include "platform/MessageLoop.h"

#include <glib.h>

#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/User.h"
#include "platform/WindowObject.h"

namespace platform {
namespace {

struct QueuedMessage {
    MSG msg;
    bool timerTick = false;
    UINT_PTR timerId = 0;
};

struct TimerEntry {
    guint source = 0;
    bool tickQueued = false;
    TIMERPROC proc = nullptr;
};

std::mutex g_queueMutex;  // guards g_queue only; posting may come from any thread
std::deque<QueuedMessage> g_queue;
GSource* g_source = nullptr;
std::thread::id g_guiThread;
bool g_quit = false;
int g_quitCode = 0;
std::map<std::pair<HWND, UINT_PTR>, TimerEntry> g_timers;  // GUI thread only
bool (*g_inputFilter)(MSG*) = nullptr;

bool QueueEmpty() {
    std::lock_guard<std::mutex> lock(g_queueMutex);
    return g_queue.empty();
}

void DispatchOne() {
    QueuedMessage item;
    {
        std::lock_guard<std::mutex> lock(g_queueMutex);
        if (g_queue.empty()) return;
        item = g_queue.front();
        g_queue.pop_front();
    }
    if (item.timerTick) {
        auto it = g_timers.find({item.msg.hwnd, item.timerId});
        if (it == g_timers.end()) return;  // killed while the tick waited
        it->second.tickQueued = false;
        if (it->second.proc) {
            it->second.proc(item.msg.hwnd, WM_TIMER, item.timerId, static_cast<DWORD>(g_get_monotonic_time() / 1000));
            return;
        }
    }
    if (!IsWindow(item.msg.hwnd)) return;
    SendMessage(item.msg.hwnd, item.msg.message, item.msg.wParam, item.msg.lParam);
}

gboolean SourcePrepare(GSource*, gint* timeout) {
    *timeout = -1;
    return !QueueEmpty();
}
gboolean SourceCheck(GSource*) { return !QueueEmpty(); }
gboolean SourceDispatch(GSource*, GSourceFunc, gpointer) {
    DispatchOne();
    return G_SOURCE_CONTINUE;
}

GSourceFuncs g_sourceFuncs = {SourcePrepare, SourceCheck, SourceDispatch, nullptr, nullptr, nullptr};

void EnsureSource() {
    if (g_source) return;
    g_source = g_source_new(&g_sourceFuncs, sizeof(GSource));
    g_source_set_priority(g_source, G_PRIORITY_DEFAULT);
    g_source_attach(g_source, g_main_context_default());
}

void Enqueue(const QueuedMessage& item) {
    {
        std::lock_guard<std::mutex> lock(g_queueMutex);
        g_queue.push_back(item);
    }
    g_main_context_wakeup(g_main_context_default());
}

gboolean OnTimerElapsed(gpointer data) {
    auto* key = static_cast<std::pair<HWND, UINT_PTR>*>(data);
    auto it = g_timers.find(*key);
    if (it == g_timers.end()) return G_SOURCE_REMOVE;
    if (!it->second.tickQueued) {
        it->second.tickQueued = true;
        QueuedMessage item;
        item.msg = {key->first, WM_TIMER, key->second, 0};
        item.timerTick = true;
        item.timerId = key->second;
        Enqueue(item);
    }
    return G_SOURCE_CONTINUE;
}

void RemoveTimerSource(TimerEntry& entry) {
    if (entry.source) g_source_remove(entry.source);
    entry.source = 0;
}

}  // namespace

void SetInputFilter(bool (*filter)(MSG*)) { g_inputFilter = filter; }

void DeliverInput(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MSG m;
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    if (g_inputFilter && g_inputFilter(&m)) return;
    if (IsWindow(m.hwnd)) SendMessage(m.hwnd, m.message, m.wParam, m.lParam);
}

bool OnGuiThread() { return std::this_thread::get_id() == g_guiThread; }
void MarkGuiThread() {
    g_guiThread = std::this_thread::get_id();
    EnsureSource();
}

bool RunModalLoop(const std::function<bool()>& done) {
    EnsureSource();
    while (!g_quit && !done()) g_main_context_iteration(nullptr, TRUE);
    return !g_quit;
}

bool QuitRequested() { return g_quit; }
int QuitCode() { return g_quitCode; }
void ResetQuit() {
    g_quit = false;
    g_quitCode = 0;
}

void ForgetWindowMessages(HWND hwnd) {
    for (auto it = g_timers.begin(); it != g_timers.end();) {
        if (it->first.first == hwnd) {
            RemoveTimerSource(it->second);
            it = g_timers.erase(it);
        } else {
            ++it;
        }
    }
    std::lock_guard<std::mutex> lock(g_queueMutex);
    for (auto it = g_queue.begin(); it != g_queue.end();) {
        if (it->msg.hwnd == hwnd)
            it = g_queue.erase(it);
        else
            ++it;
    }
}

void PumpPending(int maxIterations) {
    for (int i = 0; i < maxIterations && g_main_context_iteration(nullptr, FALSE); ++i) {
    }
}

}  // namespace platform

using namespace platform;

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Any thread may post; validity of the window is checked when the message is handled.
    if (!hwnd) return FALSE;
    QueuedMessage item;
    item.msg = {hwnd, msg, wParam, lParam};
    Enqueue(item);
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    g_quit = true;
    g_quitCode = exitCode;
    g_main_context_wakeup(g_main_context_default());
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    if (hwnd && !IsWindow(hwnd)) return 0;
    auto key = std::make_pair(hwnd, id);
    TimerEntry& entry = g_timers[key];
    RemoveTimerSource(entry);  // setting an existing timer again restarts it
    entry.proc = proc;
    entry.source = g_timeout_add_full(G_PRIORITY_DEFAULT, elapseMs == 0 ? 1 : elapseMs, OnTimerElapsed,
                                      new std::pair<HWND, UINT_PTR>(key),
                                      [](gpointer p) { delete static_cast<std::pair<HWND, UINT_PTR>*>(p); });
    return id == 0 ? 1 : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    auto it = g_timers.find({hwnd, id});
    if (it == g_timers.end()) return FALSE;
    RemoveTimerSource(it->second);
    g_timers.erase(it);  // a tick still queued is dropped when it comes up
    return TRUE;
}
