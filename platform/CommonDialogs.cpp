#include "platform/CommonDialogs.h"

#include <gtk/gtk.h>

#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/MessageLoop.h"
#include "platform/Testing.h"
#include "platform/WindowObject.h"

namespace platform::testing {

void ClearMessageBoxAnswers();  // MessageBox.cpp
void ClearMenuAnswers();        // User.cpp

namespace {
std::deque<std::string>& FileAnswers() {
    static std::deque<std::string> answers;
    return answers;
}
std::vector<ShownFileDialog>& ShownDialogs() {
    static std::vector<ShownFileDialog> shown;
    return shown;
}
}  // namespace

void QueueFileDialogAnswer(const std::string& path) { FileAnswers().push_back(path); }
const std::vector<ShownFileDialog>& ShownFileDialogs() { return ShownDialogs(); }
void ClearShownFileDialogs() { ShownDialogs().clear(); }
void ClearQueuedAnswers() {
    FileAnswers().clear();
    ClearMessageBoxAnswers();
    ClearMenuAnswers();
}

}  // namespace platform::testing

namespace {

DWORD g_lastError = 0;

struct GFree {
    void operator()(gchar* p) const { g_free(p); }
};
using GString = std::unique_ptr<gchar, GFree>;

// "description\0patterns\0...\0\0" into pairs.
std::vector<std::pair<std::string, std::string>> ParseFilters(LPCSTR filter) {
    std::vector<std::pair<std::string, std::string>> out;
    if (!filter) return out;
    const char* p = filter;
    while (*p) {
        std::string description = p;
        p += description.size() + 1;
        std::string patterns = p;
        p += patterns.size() + 1;
        out.emplace_back(description, patterns);
        if (patterns.empty()) break;
    }
    return out;
}

// Windows matches file patterns without regard to case.
gboolean MatchesAnyPattern(const GtkFileFilterInfo* info, gpointer data) {
    if (!info->display_name) return FALSE;
    GString lower(g_utf8_strdown(info->display_name, -1));
    for (const std::string& pattern : *static_cast<std::vector<std::string>*>(data)) {
        if (pattern == "*.*" || pattern == "*") return TRUE;
        if (g_pattern_match_simple(pattern.c_str(), lower.get())) return TRUE;
    }
    return FALSE;
}

void AddFilters(GtkFileChooser* chooser, const std::vector<std::pair<std::string, std::string>>& filters, DWORD index) {
    int n = 0;
    for (const auto& [description, patterns] : filters) {
        auto* list = new std::vector<std::string>;
        GString lowered(g_utf8_strdown(patterns.c_str(), -1));
        std::string all = lowered.get();
        size_t start = 0;
        while (start <= all.size()) {
            size_t end = all.find(';', start);
            std::string one = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!one.empty()) list->push_back(one);
            if (end == std::string::npos) break;
            start = end + 1;
        }
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, description.c_str());
        gtk_file_filter_add_custom(filter, GTK_FILE_FILTER_DISPLAY_NAME, MatchesAnyPattern, list,
                                   [](gpointer p) { delete static_cast<std::vector<std::string>*>(p); });
        gtk_file_chooser_add_filter(chooser, filter);
        if (++n == static_cast<int>(index == 0 ? 1 : index)) gtk_file_chooser_set_filter(chooser, filter);
    }
}

bool HasWildcard(const char* text) { return text && (strchr(text, '*') || strchr(text, '?')); }

BOOL RunFileDialog(OPENFILENAME* ofn, bool save) {
    using namespace platform;
    g_lastError = 0;
    if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0) {
        g_lastError = CDERR_INITIALIZATION;
        return FALSE;
    }
    GtkWindow* parent = nullptr;
    if (WindowObject* o = FromHandle(ofn->hwndOwner))
        if (o->kind == WindowKind::TopLevel) parent = GTK_WINDOW(o->widget);
    const char* title = ofn->lpstrTitle ? ofn->lpstrTitle : (save ? "Save As" : "Open");
    GtkWidget* dialog = gtk_file_chooser_dialog_new(title, parent, save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN,
                                                    "_Cancel", GTK_RESPONSE_CANCEL, save ? "_Save" : "_Open",
                                                    GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, (ofn->Flags & OFN_OVERWRITEPROMPT) != 0);
    auto filters = ParseFilters(ofn->lpstrFilter);
    AddFilters(chooser, filters, ofn->nFilterIndex);

    testing::ShownFileDialog shown;
    shown.owner = ofn->hwndOwner;
    shown.save = save;
    shown.title = title;
    shown.filters = filters;
    shown.filterIndex = static_cast<int>(ofn->nFilterIndex);
    if (ofn->lpstrInitialDir && *ofn->lpstrInitialDir && g_file_test(ofn->lpstrInitialDir, G_FILE_TEST_IS_DIR)) {
        gtk_file_chooser_set_current_folder(chooser, ofn->lpstrInitialDir);
        shown.initialFolder = ofn->lpstrInitialDir;
    }
    // A name already in the buffer is the proposed name; a wildcard there is only a filter.
    std::string initial(ofn->lpstrFile, strnlen(ofn->lpstrFile, ofn->nMaxFile));
    if (!initial.empty() && !HasWildcard(initial.c_str())) {
        if (save) {
            GString base(g_path_get_basename(initial.c_str()));
            if (initial.find('/') != std::string::npos) {
                GString folder(g_path_get_dirname(initial.c_str()));
                gtk_file_chooser_set_current_folder(chooser, folder.get());
            }
            gtk_file_chooser_set_current_name(chooser, base.get());
        } else {
            gtk_file_chooser_set_filename(chooser, initial.c_str());
        }
    }
    testing::ShownDialogs().push_back(shown);

    struct State {
        int response = 0;
        bool done = false;
        std::string answer;
        bool answered = false;
        guint source = 0;
    } state;
    g_signal_connect(dialog, "response", G_CALLBACK(+[](GtkDialog*, gint response, gpointer data) {
        auto* s = static_cast<State*>(data);
        s->response = response;
        s->done = true;
    }), &state);
    gtk_widget_show_all(dialog);

    auto& answers = testing::FileAnswers();
    if (!answers.empty()) {
        state.answer = answers.front();
        state.answered = true;
        answers.pop_front();
        state.source = g_timeout_add(30, [](gpointer data) -> gboolean {
            auto* s = static_cast<State*>(data);
            s->source = 0;
            // The chooser checks its own selection before it lets Open through; the test's
            // answer stands for what the user typed, so it ends the dialog directly.
            s->response = s->answer.empty() ? GTK_RESPONSE_CANCEL : GTK_RESPONSE_ACCEPT;
            s->done = true;
            return G_SOURCE_REMOVE;
        }, &state);
    }
    RunModalLoop([&state]() { return state.done; });
    if (state.source) g_source_remove(state.source);

    std::string chosen;
    if (state.done && state.response == GTK_RESPONSE_ACCEPT) {
        if (state.answered) {
            chosen = state.answer;  // what the user typed into the chooser
        } else {
            GString name(gtk_file_chooser_get_filename(chooser));
            chosen = name ? name.get() : "";
        }
    }
    gtk_widget_destroy(dialog);
    if (chosen.empty()) return FALSE;

    size_t slash = chosen.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // A wildcard as default extension ("*") means any: nothing is appended.
    if (ofn->lpstrDefExt && *ofn->lpstrDefExt && !HasWildcard(ofn->lpstrDefExt) && chosen.find('.', nameStart) == std::string::npos)
        chosen += std::string(".") + ofn->lpstrDefExt;
    if (chosen.size() + 1 > ofn->nMaxFile) {
        // Windows reports the size it needs in the buffer's first two bytes; callers here
        // only need the failure.
        g_lastError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    memcpy(ofn->lpstrFile, chosen.c_str(), chosen.size() + 1);
    ofn->nFileOffset = static_cast<WORD>(nameStart);
    size_t dot = chosen.rfind('.');
    ofn->nFileExtension = static_cast<WORD>(dot != std::string::npos && dot >= nameStart ? dot + 1 : 0);
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0) {
        g_strlcpy(ofn->lpstrFileTitle, chosen.c_str() + nameStart, ofn->nMaxFileTitle);
    }
    return TRUE;
}

}  // namespace

BOOL GetOpenFileName(OPENFILENAME* ofn) { return RunFileDialog(ofn, false); }
BOOL GetSaveFileName(OPENFILENAME* ofn) { return RunFileDialog(ofn, true); }
DWORD CommDlgExtendedError() { return g_lastError; }
