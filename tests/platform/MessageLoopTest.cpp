// Posted messages, timers, quitting and message boxes on the program's one loop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/Dialog.h"
#include "platform/DialogManager.h"
#include "platform/MessageBox.h"
#include "platform/MessageLoop.h"
#include "platform/Resources.h"
#include "platform/Testing.h"
#include "platform/User.h"
#include "platform/testing/UiDriver.h"

using namespace platform::testing;

namespace {

constexpr int kTemplate = 9002;
constexpr UINT kPosted = WM_APP + 7;

// A small dialog that records what reaches it.
class ListeningDialog : public CDialog {
public:
    ListeningDialog() : CDialog(kTemplate) {}
    std::vector<WPARAM> posted;
    std::vector<std::thread::id> threads;
    int ticks = 0;
    int boxAnswer = 0;
    bool quitOnInit = false;

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (quitOnInit) PostQuitMessage(0);
        return TRUE;
    }
    LRESULT OnPosted(WPARAM wParam, LPARAM) {
        posted.push_back(wParam);
        threads.push_back(std::this_thread::get_id());
        return 0;
    }
    void OnTimer(UINT_PTR id) {
        if (id == 5) ++ticks;
        CDialog::OnTimer(id);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ListeningDialog, CDialog)
ON_MESSAGE(kPosted, OnPosted)
ON_WM_TIMER()
END_MESSAGE_MAP()

INT_PTR RunListening(ListeningDialog& dialog, const std::function<void(HWND)>& script) {
    platform::DialogTemplate t;
    t.id = kTemplate;
    t.cx = 120;
    t.cy = 40;
    t.caption = "Loop";
    t.fontFace = "Sans";
    t.fontPoints = 8;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.exStyle = 0;
    platform::RegisterDialogTemplate(t);
    platform::ResetQuit();
    ArmWatchdog(20000, "the loop test dialog");
    bool ran = false;
    RunWhenIdle([&]() {
        if (!WaitUntil([&]() { return dialog.m_hWnd && WaitUntilShown(dialog.m_hWnd, 0); }, 2000)) return;
        ran = true;
        script(dialog.m_hWnd);
        if (!platform::DialogEnded(dialog.m_hWnd)) dialog.EndDialog(IDOK);
    });
    INT_PTR result = dialog.DoModal();
    DisarmWatchdog();
    ClearQueuedAnswers();
    ClearShownBoxes();
    if (!dialog.quitOnInit) {
        EXPECT_TRUE(ran);
    }
    return result;
}

}  // namespace

TEST(MessageLoop, PostedMessagesArriveInOrderOnTheGuiThreadFromAnyThread) {
    ListeningDialog dialog;
    RunListening(dialog, [&](HWND d) {
        std::thread worker([d]() {
            for (WPARAM i = 0; i < 100; ++i) PostMessage(d, kPosted, i, 0);
        });
        worker.join();
        WaitUntil([&]() { return dialog.posted.size() == 100; });
        ASSERT_EQ(dialog.posted.size(), 100u);
        for (WPARAM i = 0; i < 100; ++i) EXPECT_EQ(dialog.posted[i], i);
        for (std::thread::id id : dialog.threads) EXPECT_EQ(id, std::this_thread::get_id());
    });
}

TEST(MessageLoop, TimerTicksCountAsHandledNotAsDue) {
    ListeningDialog dialog;
    RunListening(dialog, [&](HWND d) {
        SetTimer(d, 5, 10, nullptr);
        // A handler that keeps the loop busy for 200 ms misses many due ticks: they queue once.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Pump(5);
        EXPECT_EQ(dialog.ticks, 1);
        Pump(100);
        EXPECT_GE(dialog.ticks, 3);
        KillTimer(d, 5);
        int stopped = dialog.ticks;
        Pump(100);
        EXPECT_EQ(dialog.ticks, stopped) << "no tick after KillTimer";
    });
}

TEST(MessageLoop, KillTimerDropsATickAlreadyQueued) {
    ListeningDialog dialog;
    RunListening(dialog, [&](HWND d) {
        SetTimer(d, 5, 5, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        platform::PumpPending(1);  // one pass: the due timer queues its tick, nobody handled it yet
        EXPECT_EQ(dialog.ticks, 0);
        KillTimer(d, 5);
        Pump(50);
        EXPECT_EQ(dialog.ticks, 0);
    });
}

TEST(MessageLoop, MessagesAndTimersKeepFlowingWhileAMessageBoxIsOpen) {
    ListeningDialog dialog;
    RunListening(dialog, [&](HWND d) {
        SetTimer(d, 5, 20, nullptr);
        PostMessage(d, kPosted, 42, 0);
        QueueMessageBoxAnswer(IDNO, 300);
        int answer = MessageBox(d, "Line one\r\nLine two", "Question", MB_YESNO | MB_ICONQUESTION);
        EXPECT_EQ(answer, IDNO);
        ASSERT_EQ(dialog.posted.size(), 1u) << "the posted message was handled while the box was open";
        EXPECT_GE(dialog.ticks, 5);
        ASSERT_EQ(ShownBoxes().size(), 1u);
        EXPECT_EQ(ShownBoxes()[0].caption, "Question");
        EXPECT_EQ(ShownBoxes()[0].text, "Line one\r\nLine two");
        EXPECT_EQ(ShownBoxes()[0].owner, d);
        KillTimer(d, 5);
    });
}

TEST(MessageLoop, MessageBoxWithoutCaptionSaysError) {
    ListeningDialog dialog;
    RunListening(dialog, [&](HWND) {
        QueueMessageBoxAnswer(IDOK);
        EXPECT_EQ(MessageBox(nullptr, "Something failed", nullptr, MB_OK), IDOK);
        ASSERT_EQ(ShownBoxes().size(), 1u);
        EXPECT_EQ(ShownBoxes()[0].caption, "Error");
        EXPECT_EQ(ShownBoxes()[0].owner, nullptr);
    });
}

TEST(MessageLoop, QuitPostedDuringStartUpEndsTheDialogBeforeItShows) {
    ListeningDialog dialog;
    dialog.quitOnInit = true;
    INT_PTR result = RunListening(dialog, [](HWND) { ADD_FAILURE() << "the dialog was shown"; });
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(platform::QuitRequested());
    platform::ResetQuit();
}

TEST(MessageLoop, SendMessageToAGoneWindowDoesNothing) {
    ListeningDialog dialog;
    HWND gone = nullptr;
    RunListening(dialog, [&](HWND d) { gone = d; });
    EXPECT_FALSE(IsWindow(gone));
    EXPECT_EQ(SendMessage(gone, kPosted, 1, 0), 0);
    EXPECT_TRUE(PostMessage(gone, kPosted, 1, 0));  // posting is allowed; the message is dropped
    Pump(20);
    EXPECT_TRUE(dialog.posted.empty());
}
