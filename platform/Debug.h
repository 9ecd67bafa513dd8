#pragma once
// The debugger output: where diagnostics go that no user is meant to see.
// Imitates: OutputDebugStringA taking one text. Here it is the GLib debug log of the
// domain "SONOVERT" (shown with G_MESSAGES_DEBUG=SONOVERT), and tests can read it back.

#include <string>
#include <vector>

void OutputDebugStringA(const char* text);

namespace platform::testing {
// Every text written to the debugger output since the last clear.
const std::vector<std::string>& DebugOutput();
void ClearDebugOutput();
}  // namespace platform::testing
