#include "platform/MessageBox.h"

#include <gtk/gtk.h>

#include <deque>
#include <string>

#include "platform/MessageLoop.h"
#include "platform/Testing.h"
#include "platform/WinApp.h"
#include "platform/WindowObject.h"

namespace platform::testing {
namespace {
struct QueuedAnswer {
    int answer;
    int delayMs;
};
std::deque<QueuedAnswer>& Answers() {
    static std::deque<QueuedAnswer> answers;
    return answers;
}
std::vector<ShownBox>& Shown() {
    static std::vector<ShownBox> shown;
    return shown;
}
}  // namespace

void QueueMessageBoxAnswer(int answer, int delayMs) { Answers().push_back(QueuedAnswer{answer, delayMs}); }
const std::vector<ShownBox>& ShownBoxes() { return Shown(); }
void ClearShownBoxes() { Shown().clear(); }
void ClearMessageBoxAnswers() { Answers().clear(); }

}  // namespace platform::testing

namespace {

struct BoxState {
    int result = 0;
    bool done = false;
};

std::string DisplayText(const char* text) {
    std::string out;
    for (const char* p = text ? text : ""; *p; ++p)
        if (*p != '\r') out += *p;
    return out;
}

}  // namespace

int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    using namespace platform;
    testing::Shown().push_back(testing::ShownBox{owner, caption ? caption : "Error", text ? text : "", type});

    GtkWindow* parent = nullptr;
    if (WindowObject* o = FromHandle(owner))
        if (o->kind == WindowKind::TopLevel) parent = GTK_WINDOW(o->widget);
    GtkMessageType kind = GTK_MESSAGE_OTHER;
    switch (type & 0xF0) {
    case MB_ICONERROR: kind = GTK_MESSAGE_ERROR; break;
    case MB_ICONQUESTION: kind = GTK_MESSAGE_QUESTION; break;
    case MB_ICONWARNING: kind = GTK_MESSAGE_WARNING; break;
    case MB_ICONINFORMATION: kind = GTK_MESSAGE_INFO; break;
    default: break;
    }
    GtkWidget* dialog = gtk_message_dialog_new(parent, parent ? GTK_DIALOG_MODAL : GtkDialogFlags(0), kind,
                                               GTK_BUTTONS_NONE, "%s", DisplayText(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), caption ? caption : "Error");
    switch (type & 0xF) {
    case MB_OKCANCEL:
        gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_OK", IDOK, "_Cancel", IDCANCEL, nullptr);
        break;
    case MB_YESNO:
        gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_Yes", IDYES, "_No", IDNO, nullptr);
        break;
    default:
        gtk_dialog_add_button(GTK_DIALOG(dialog), "_OK", IDOK);
        break;
    }
    int cancelAnswer = (type & 0xF) == MB_YESNO ? IDNO : (type & 0xF) == MB_OKCANCEL ? IDCANCEL : IDOK;
    BoxState state;
    g_signal_connect(dialog, "response", G_CALLBACK(+[](GtkDialog*, gint response, gpointer data) {
        auto* s = static_cast<BoxState*>(data);
        s->result = response;
        s->done = true;
    }), &state);
    gtk_widget_show_all(dialog);
    gtk_window_present(GTK_WINDOW(dialog));

    auto& answers = testing::Answers();
    struct PendingAnswer {
        GtkDialog* box;
        int answer;
        guint source;
    } pending{GTK_DIALOG(dialog), 0, 0};
    if (!answers.empty()) {
        pending.answer = answers.front().answer;
        guint delay = static_cast<guint>(answers.front().delayMs);
        answers.pop_front();
        // The answer comes once the box has really been shown and the loop has run a while.
        pending.source = g_timeout_add(delay, [](gpointer d) -> gboolean {
            auto* p = static_cast<PendingAnswer*>(d);
            p->source = 0;
            gtk_dialog_response(p->box, p->answer);
            return G_SOURCE_REMOVE;
        }, &pending);
    }
    RunModalLoop([&state]() { return state.done; });
    if (pending.source) g_source_remove(pending.source);
    gtk_widget_destroy(dialog);
    if (!state.done) return 0;  // a quit message ended the program while the box was open
    if (state.result == GTK_RESPONSE_DELETE_EVENT) return cancelAnswer;
    return state.result;
}

int AfxMessageBox(LPCSTR text, UINT type) {
    CWinApp* app = AfxGetApp();
    HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    return MessageBox(owner, text, app ? app->m_pszAppName.str().c_str() : "", type);
}
