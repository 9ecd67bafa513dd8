#include "platform/Debug.h"

#include <glib.h>

#include <mutex>

namespace platform::testing {
namespace {
std::mutex g_mutex;
std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
}
}  // namespace

const std::vector<std::string>& DebugOutput() { return Lines(); }
void ClearDebugOutput() {
    std::lock_guard<std::mutex> lock(g_mutex);
    Lines().clear();
}

}  // namespace platform::testing

void OutputDebugStringA(const char* text) {
    if (!text) return;
    {
        std::lock_guard<std::mutex> lock(platform::testing::g_mutex);
        auto& lines = platform::testing::Lines();
        if (lines.size() < 10000) lines.push_back(text);  // a bounded record: tests look at the last few
    }
    g_log("SONOVERT", G_LOG_LEVEL_DEBUG, "%s", text);
}
