#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tools/guidriver/GuiDriver.h"
#include "win/App.h"
#include "win/Controls.h"
#include "win/Dialog.h"

namespace gd = guidriver;

namespace {

constexpr UINT kTestDialog = 9000;
constexpr UINT kChildTemplate = 9010;
constexpr int kPress = 9001;

class TestDialog : public CDialog {
public:
    explicit TestDialog(bool swallowKeys = false) : CDialog(kTestDialog), swallow_(swallowKeys) {}
    std::vector<WPARAM> keys;
    int destroyed = 0;
    CButton press;

    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN) keys.push_back(msg->wParam);
        if (swallow_ && IsEscOrEnterKeyDown(msg)) return TRUE;
        return CDialog::PreTranslateMessage(msg);
    }

protected:
    void DoDataExchange() override { press.SubclassDlgItem(kPress, this); }
    BOOL OnCommand(WPARAM wp, LPARAM) override {
        if (LOWORD(wp) == kPress) {
            EndDialog(42);
            return TRUE;
        }
        return FALSE;
    }
    void OnDestroy() override {
        ++destroyed;
        CDialog::OnDestroy();
    }

private:
    bool swallow_;
};

HWND WaitForTestDialog() {
    return gd::WaitForTopWindow(::GetCurrentProcessId(), L"Orvane test dialog", L"", 10000);
}

// Posts a key to the focused control of the dialog: it then takes the loop's
// ordinary path (PreTranslateMessage, IsDialogMessage).
void PostKey(HWND dialog, WPARAM vk) {
    HWND target = ::GetDlgItem(dialog, IDOK);
    ::PostMessageW(target ? target : dialog, WM_KEYDOWN, vk, 1);
}

// A shown modeless dialog standing in as the program's main window.
class MainWindow : public CDialog {
public:
    MainWindow() : CDialog(kChildTemplate) {
        if (Create(kChildTemplate, nullptr)) {
            ShowWindow(SW_SHOW);
            app_.m_pMainWnd = this;
        }
    }
    ~MainWindow() override { app_.m_pMainWnd = nullptr; }
    bool Shown() const { return app_.m_pMainWnd == this; }

private:
    CWinApp app_;
};

}  // namespace

TEST(WinLayer, ModalDialogIsFoundReadAndClickedWithRealInput) {
    TestDialog dlg;
    std::atomic<bool> sawControls{false};
    std::thread driver([&] {
        HWND h = WaitForTestDialog();
        if (!h) return;
        auto kids = gd::Children(h);
        sawControls = kids.count(IDOK) && kids.count(IDCANCEL) && kids.count(kPress) &&
                      kids[kPress].className == L"Button" && kids[9002].text == L"测试" &&
                      kids[kPress].visible && kids[kPress].enabled &&
                      kids[kPress].rect.right > kids[kPress].rect.left;
        gd::ClickControl(kids[kPress].hwnd);
    });
    INT_PTR result = dlg.DoModal();
    driver.join();
    EXPECT_TRUE(sawControls);
    EXPECT_EQ(result, 42);
    EXPECT_EQ(dlg.destroyed, 1);
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
}

TEST(WinLayer, PreTranslateMessageSeesKeysBeforeTheDialogManager) {
    // Without swallowing, Esc reaches IsDialogMessage and cancels.
    {
        TestDialog dlg(false);
        std::thread driver([] {
            if (HWND h = WaitForTestDialog()) PostKey(h, VK_ESCAPE);
        });
        INT_PTR result = dlg.DoModal();
        driver.join();
        EXPECT_EQ(result, IDCANCEL);
        ASSERT_FALSE(dlg.keys.empty());
        EXPECT_EQ(dlg.keys.front(), static_cast<WPARAM>(VK_ESCAPE));
    }
    // Swallowed, neither Esc nor Enter ends it; the button still does.
    {
        TestDialog dlg(true);
        std::atomic<bool> stillOpen{false};
        std::thread driver([&] {
            HWND h = WaitForTestDialog();
            if (!h) return;
            PostKey(h, VK_ESCAPE);
            PostKey(h, VK_RETURN);
            gd::WaitFor([&] { return dlg.keys.size() >= 2; }, 5000);
            stillOpen = ::IsWindow(h) && ::IsWindowVisible(h);
            gd::ClickControl(::GetDlgItem(h, kPress));
        });
        INT_PTR result = dlg.DoModal();
        driver.join();
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(result, 42);
        ASSERT_GE(dlg.keys.size(), 2u);
        EXPECT_EQ(dlg.keys[0], static_cast<WPARAM>(VK_ESCAPE));
        EXPECT_EQ(dlg.keys[1], static_cast<WPARAM>(VK_RETURN));
    }
}

TEST(WinLayer, EndDialogFromAnotherThreadsSendMessageEndsTheModalLoop) {
    // A worker closes a modal dialog with a synchronous send, as the progress
    // prompt is closed; the loop must wake although no input arrives.
    class Closable : public TestDialog {
    protected:
        LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
            if (msg == WM_USER + 501) {
                EndDialog(IDOK);
                return 0;
            }
            return TestDialog::WindowProc(msg, wp, lp);
        }
    } dlg;
    std::thread worker([] {
        if (HWND h = WaitForTestDialog()) ::SendMessageW(h, WM_USER + 501, 0, 0);
    });
    const ULONGLONG start = ::GetTickCount64();
    INT_PTR result = dlg.DoModal();
    worker.join();
    EXPECT_EQ(result, IDOK);
    EXPECT_LT(::GetTickCount64() - start, 8000u);
}

TEST(WinLayer, ModalOwnerIsTheMainWindowsLastActivePopupAndIsDisabledMeanwhile) {
    MainWindow main;
    ASSERT_TRUE(main.Shown());

    TestDialog dlg;
    std::atomic<bool> ownerOk{false}, ownerDisabled{false};
    std::thread driver([&] {
        HWND h = WaitForTestDialog();
        if (!h) return;
        ownerOk = ::GetWindow(h, GW_OWNER) == main.GetSafeHwnd();
        ownerDisabled = !::IsWindowEnabled(main.GetSafeHwnd());
        gd::ClickControl(::GetDlgItem(h, kPress));
    });
    EXPECT_EQ(dlg.DoModal(), 42);
    driver.join();
    EXPECT_TRUE(ownerOk);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(main.IsWindowEnabled());
}

TEST(WinLayer, EndDialogHidesAtOnceAndGivesTheOwnerItsInputBack) {
    // Whatever runs between EndDialog and the loop's next look at its flag (a
    // nested dialog, say) must already see the dialog gone and its owner usable.
    MainWindow main;
    ASSERT_TRUE(main.Shown());

    class Ending : public TestDialog {
    public:
        int shownAfterEnd = -1, ownerEnabledAfterEnd = -1;

    protected:
        BOOL OnCommand(WPARAM wp, LPARAM lp) override {
            if (LOWORD(wp) != kPress) return FALSE;
            HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
            EndDialog(7);
            shownAfterEnd = ::IsWindowVisible(m_hWnd) ? 1 : 0;
            ownerEnabledAfterEnd = owner && ::IsWindowEnabled(owner) ? 1 : 0;
            return TRUE;
        }
    } dlg;
    std::thread driver([&] {
        if (HWND h = WaitForTestDialog()) gd::ClickControl(::GetDlgItem(h, kPress));
    });
    EXPECT_EQ(dlg.DoModal(), 7);
    driver.join();
    EXPECT_EQ(dlg.shownAfterEnd, 0);
    EXPECT_EQ(dlg.ownerEnabledAfterEnd, 1);
    EXPECT_TRUE(main.IsWindowEnabled());
}

TEST(WinLayer, ModelessDialogsAreCreatedAndDestroyedWithoutLeakingWindows) {
    TestDialog owner;
    ASSERT_TRUE(owner.Create(kTestDialog, nullptr));
    const DWORD before = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    for (int i = 0; i < 20; ++i) {
        auto* child = new CDialog(kChildTemplate);
        ASSERT_TRUE(child->Create(kChildTemplate, &owner));
        HWND h = child->GetSafeHwnd();
        ASSERT_TRUE(::IsWindow(h));
        EXPECT_EQ(::GetWindow(h, GW_OWNER), owner.GetSafeHwnd());
        EXPECT_EQ(CWnd::FromHandle(h), child);
        delete child;
        EXPECT_FALSE(::IsWindow(h));
    }
    const DWORD after = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    // Wine does not count USER objects (0); on Windows the count must not grow.
    EXPECT_LE(after, before);

    // Destroying the owner destroys an owned modeless dialog with it.
    CDialog owned(kChildTemplate);
    ASSERT_TRUE(owned.Create(kChildTemplate, &owner));
    HWND ownedHwnd = owned.GetSafeHwnd();
    owner.DestroyWindow();
    EXPECT_EQ(owner.destroyed, 1);
    EXPECT_FALSE(::IsWindow(ownedHwnd));
    EXPECT_EQ(owned.GetSafeHwnd(), nullptr);
}
