// Dialogs from templates, their controls, message maps, the dialog manager's keyboard and
// the message loop, driven with real input on a real X display.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/AfxControls.h"
#include "platform/DataExchange.h"
#include "platform/Dialog.h"
#include "platform/DialogManager.h"
#include "platform/MessageBox.h"
#include "platform/Resources.h"
#include "platform/Testing.h"
#include "platform/testing/UiDriver.h"

using namespace platform::testing;

namespace {

constexpr int kTemplate = 9001;
constexpr int kEdit = 10, kFirst = 11, kSecond = 12, kCheck = 13, kLabel = 14, kList = 15, kSlider = 16, kHidden = 17;
constexpr UINT kPosted = WM_APP + 5;

void RegisterTestTemplate() {
    platform::DialogTemplate t;
    t.id = kTemplate;
    t.cx = 200;
    t.cy = 120;
    t.caption = "Test dialog";
    t.fontFace = "Sans";
    t.fontPoints = 8;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    t.exStyle = 0;
    t.controls = {
        {kEdit, "Edit", "start", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 5, 5, 100, 14, "Name"},
        {kFirst, "Button", "&First", WS_TABSTOP, 110, 5, 50, 14, nullptr},
        {kSecond, "Button", "Second", WS_TABSTOP, 110, 22, 50, 14, nullptr},
        {kCheck, "Button", "Check", WS_TABSTOP | BS_AUTOCHECKBOX, 5, 22, 60, 10, nullptr},
        {kLabel, "Static", "Label", SS_LEFT, 5, 40, 60, 8, nullptr},
        {kList, "ComboBox", "", WS_TABSTOP | CBS_DROPDOWNLIST, 5, 52, 100, 60, "Choices"},
        {kSlider, "msctls_trackbar32", "", WS_TABSTOP | TBS_NOTICKS, 5, 75, 150, 15, "Level"},
        {kHidden, "Button", "Hidden", WS_TABSTOP, 110, 40, 50, 14, nullptr},
    };
    platform::RegisterDialogTemplate(t);
}

// A button that hears its own clicks before its parent does.
class ReflectingButton : public CButton {
public:
    std::vector<std::string>* log = nullptr;
    BOOL OnReflectedClick() {
        log->push_back("button heard its click");
        return FALSE;  // the parent's handler runs too
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ReflectingButton, CButton)
ON_CONTROL_REFLECT_EX(BN_CLICKED, OnReflectedClick)
END_MESSAGE_MAP()

class RecorderDialog : public CDialog {
public:
    RecorderDialog() : CDialog(kTemplate) { m_first.log = &log; }

    std::vector<std::string> log;
    CString name = "from member";
    BOOL checked = TRUE;
    int ticks = 0;
    std::vector<std::thread::id> postedOn;
    ReflectingButton m_first;
    CComboBox m_list;
    CSliderCtrl m_slider;

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        GetDlgItem(kHidden)->ShowWindow(SW_HIDE);
        m_list.AddString("one");
        m_list.AddString("two");
        m_list.AddString("three");
        m_slider.SetRange(0, 200);
        return TRUE;
    }
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Control(dx, kFirst, m_first);
        DDX_Control(dx, kList, m_list);
        DDX_Control(dx, kSlider, m_slider);
        DDX_Text(dx, kEdit, name);
        DDX_Check(dx, kCheck, checked);
    }
    void OnFirst() { log.push_back("parent heard First"); }
    void OnSecond() { log.push_back("parent heard Second"); }
    void OnCheck() { log.push_back("parent heard Check"); }
    void OnEditChange() { log.push_back("edit changed"); }
    void OnListChange() { log.push_back("list changed to " + std::to_string(m_list.GetCurSel())); }
    void OnSliderReleased(NMHDR* header, LRESULT* result) {
        log.push_back("slider released at " + std::to_string(m_slider.GetPos()) + " from " + std::to_string(header->idFrom));
        *result = 0;
    }
    LRESULT OnPosted(WPARAM wParam, LPARAM) {
        log.push_back("posted " + std::to_string(wParam));
        postedOn.push_back(std::this_thread::get_id());
        return 0;
    }
    void OnTimer(UINT_PTR id) {
        if (id == 7) ++ticks;
        CDialog::OnTimer(id);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(RecorderDialog, CDialog)
ON_BN_CLICKED(kFirst, OnFirst)
ON_BN_CLICKED(kSecond, OnSecond)
ON_BN_CLICKED(kCheck, OnCheck)
ON_EN_CHANGE(kEdit, OnEditChange)
ON_CBN_SELCHANGE(kList, OnListChange)
ON_NOTIFY(NM_RELEASEDCAPTURE, kSlider, OnSliderReleased)
ON_MESSAGE(kPosted, OnPosted)
ON_WM_TIMER()
END_MESSAGE_MAP()

// Runs the dialog modally; `script` runs inside it once it is on screen.
INT_PTR RunDialog(RecorderDialog& dialog, const std::function<void(HWND)>& script) {
    RegisterTestTemplate();
    platform::ResetQuit();
    ArmWatchdog(20000, "the test dialog");
    RunWhenIdle([&]() {
        ASSERT_TRUE(WaitUntil([&]() { return dialog.m_hWnd && WaitUntilShown(dialog.m_hWnd, 0); }));
        script(dialog.m_hWnd);
        if (!platform::DialogEnded(dialog.m_hWnd)) dialog.EndDialog(IDABORT);
    });
    INT_PTR result = dialog.DoModal();
    DisarmWatchdog();
    ClearQueuedAnswers();
    return result;
}

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

std::string TextOf(HWND hwnd) {
    char buffer[256];
    GetWindowText(hwnd, buffer, sizeof(buffer));
    return buffer;
}

}  // namespace

TEST(Dialog, ProgramChangesNotifyNothingButTheUsersDo) {
    RecorderDialog dialog;
    RunDialog(dialog, [&](HWND d) {
        SetWindowText(Item(d, kEdit), "set by code");
        dialog.m_list.SetCurSel(1);
        dialog.m_slider.SetPos(150);
        SendMessage(Item(d, kCheck), BM_SETCHECK, BST_UNCHECKED, 0);
        Pump(50);
        EXPECT_TRUE(dialog.log.empty()) << dialog.log.front();

        TypeInto(Item(d, kEdit), "x");
        ChooseListEntry(Item(d, kList), 2);
        DragTrackbarTo(Item(d, kSlider), 100);
        Click(Item(d, kCheck));
        const std::vector<std::string> expected = {"edit changed", "list changed to 2", "slider released at 100 from 16",
                                                   "parent heard Check"};
        EXPECT_EQ(dialog.log, expected);
        EXPECT_EQ(SendMessage(Item(d, kCheck), BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED));

        // Moving the thumb with the keyboard is no release of the mouse.
        dialog.log.clear();
        SetFocus(Item(d, kSlider));
        PressKey("Left");
        EXPECT_EQ(dialog.m_slider.GetPos(), 99);
        EXPECT_TRUE(dialog.log.empty());
    });
}

TEST(Dialog, AClickReachesTheButtonFirstThenItsParent) {
    RecorderDialog dialog;
    RunDialog(dialog, [&](HWND d) {
        Click(Item(d, kFirst));
        const std::vector<std::string> expected = {"button heard its click", "parent heard First"};
        EXPECT_EQ(dialog.log, expected);
        EXPECT_TRUE(HasFocus(Item(d, kFirst))) << "a clicked button takes the focus";
    });
}

TEST(Dialog, DialogManagerKeys) {
    struct Case {
        const char* what;
        int focus;
        const char* key;
        bool alt;
        INT_PTR result;          // how the dialog ended, IDABORT: it did not
        const char* logEntry;    // what the dialog heard, or null
    };
    const Case cases[] = {
        {"Enter on a push button presses it", kSecond, "Return", false, IDABORT, "parent heard Second"},
        {"space on a push button presses it", kSecond, "space", false, IDABORT, "parent heard Second"},
        {"Enter in the edit box is OK", kEdit, "Return", false, IDOK, nullptr},
        {"Enter on the check box is OK", kCheck, "KP_Enter", false, IDOK, nullptr},
        {"Esc is Cancel", kEdit, "Escape", false, IDCANCEL, nullptr},
        {"Alt+F4 closes", kEdit, "F4", true, IDCANCEL, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecorderDialog dialog;
        INT_PTR result = RunDialog(dialog, [&](HWND d) {
            SetFocus(Item(d, c.focus));
            Pump(20);
            PressKey(c.key, c.alt);
            WaitUntil([d]() { return platform::DialogEnded(d); }, 300);
        });
        EXPECT_EQ(result, c.result);
        if (c.logEntry) {
            ASSERT_EQ(dialog.log.size(), 1u);
            EXPECT_EQ(dialog.log[0], c.logEntry);
        } else {
            EXPECT_TRUE(dialog.log.empty());
        }
    }
}

TEST(Dialog, OkTakesTheControlsIntoTheMembersAndCancelDoesNot) {
    for (bool ok : {true, false}) {
        RecorderDialog dialog;
        RunDialog(dialog, [&](HWND d) {
            EXPECT_EQ(TextOf(Item(d, kEdit)), "from member");
            EXPECT_EQ(SendMessage(Item(d, kCheck), BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED));
            SetWindowText(Item(d, kEdit), "typed");
            Click(Item(d, kCheck));
            SetFocus(Item(d, kEdit));
            PressKey(ok ? "Return" : "Escape");
        });
        EXPECT_EQ(dialog.name, ok ? "typed" : "from member");
        EXPECT_EQ(dialog.checked, ok ? FALSE : TRUE);
    }
}

TEST(Dialog, TitleBarCloseIsCancel) {
    RecorderDialog dialog;
    INT_PTR result = RunDialog(dialog, [&](HWND d) {
        CloseFromTitleBar(d);
        EXPECT_TRUE(platform::DialogEnded(d));
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST(Dialog, TabFollowsTheTemplateOverEnabledVisibleStops) {
    RecorderDialog dialog;
    RunDialog(dialog, [&](HWND d) {
        EnableWindow(Item(d, kCheck), FALSE);
        // Template order: edit, First, Second, (Check disabled), (Label no stop), List, Slider, (Hidden).
        const int order[] = {kEdit, kFirst, kSecond, kList, kSlider, kEdit};
        SetFocus(Item(d, kEdit));
        Pump(20);
        for (size_t i = 0; i + 1 < sizeof(order) / sizeof(order[0]); ++i) {
            SCOPED_TRACE("from " + std::to_string(order[i]));
            EXPECT_EQ(GetNextDlgTabItem(d, Item(d, order[i]), FALSE), Item(d, order[i + 1]));
            EXPECT_EQ(GetNextDlgTabItem(d, Item(d, order[i + 1]), TRUE), Item(d, order[i]));
            EXPECT_TRUE(HasFocus(Item(d, order[i])) || order[i] == kList);
            PressKey("Tab");
        }
        EXPECT_TRUE(HasFocus(Item(d, kEdit))) << "Tab went round to the first stop";
    });
}

TEST(Dialog, DisablingTheFocusedControlMovesTheFocusOn) {
    RecorderDialog dialog;
    RunDialog(dialog, [&](HWND d) {
        SetFocus(Item(d, kFirst));
        Pump(20);
        EnableWindow(Item(d, kFirst), FALSE);
        Pump(20);
        EXPECT_TRUE(HasFocus(Item(d, kSecond)));
        EXPECT_EQ(GetFocus(), Item(d, kSecond));
    });
}

TEST(Dialog, AccessibleActionPressesTheButton) {
    RecorderDialog dialog;
    RunDialog(dialog, [&](HWND d) {
        EXPECT_EQ(AccessibleRole(Item(d, kFirst)), "push button");
        EXPECT_EQ(AccessibleName(Item(d, kFirst)), "First") << "the mnemonic mark is not read out";
        EXPECT_EQ(AccessibleRole(Item(d, kCheck)), "check box");
        EXPECT_EQ(AccessibleRole(Item(d, kLabel)), "label");
        EXPECT_TRUE(AccessiblePress(Item(d, kSecond)));
        ASSERT_EQ(dialog.log.size(), 1u);
        EXPECT_EQ(dialog.log[0], "parent heard Second");
    });
}

TEST(Dialog, NothingIsLeftWhenTheDialogEnds) {
    RecorderDialog dialog;
    RunDialog(dialog, [&](HWND) { PressKey("Escape"); });
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(dialog.m_first.m_hWnd, nullptr) << "the control objects let go of their windows";
    EXPECT_TRUE(TopLevelWindows().empty());
}
