// Creates every dialog template of the linked resources through the dialog manager
// and checks the child windows it made: ids, window classes and texts.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

struct Control {
    int id;
    const wchar_t* cls;
    const wchar_t* text;
};

struct Dialog {
    UINT id;
    std::vector<Control> controls;
};

std::wstring ClassOf(HWND wnd) {
    wchar_t name[64] = {};
    ::GetClassNameW(wnd, name, 64);
    return name;
}

std::wstring TextOf(HWND wnd) {
    wchar_t text[128] = {};
    ::GetWindowTextW(wnd, text, 128);
    return text;
}

int ChildCount(HWND parent) {
    int n = 0;
    for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) ++n;
    return n;
}

TEST(Dialogs, EveryTemplateCreatesItsControls) {
    // The agreement viewer's control class lives in the rich edit library.
    ASSERT_NE(nullptr, ::LoadLibraryExW(L"riched20.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));

    const std::vector<Dialog> dialogs = {
        {102, {}},
        {146, {{1016, L"Button", L"修复"}, {1005, L"Button", L"关闭"},
               {1010, L"Button", L"最小化"}, {1013, L"Static", L"Static"},
               {1011, L"Button", L"更多工具"}, {1012, L"Button", L"同意"},
               {1014, L"Static", L"《Corvel服务工具使用许可协议》"},
               {1015, L"Static", L"反馈问题"}}},
        {130, {}},
        {129, {{1000, L"Static", L"Static"}}},
        {139, {}},
        {137, {{1005, L"Button", L"关闭"}, {1007, L"Button", L"确定"},
               {1008, L"Button", L"取消"}, {1006, L"Static", L"Static"}}},
        {135, {}},
        {131, {{1002, L"Button", L"关闭"}, {1003, L"Button", L"解决"},
               {1004, L"Button", L"未解决"}, {1001, L"Button", L"更多方案"}}},
        {143, {}},
        {141, {{1009, L"RichEdit20W", L""}}},
        {100, {{IDOK, L"Button", L"确定"}}},
    };
    for (const Dialog& d : dialogs) {
        SCOPED_TRACE(d.id);
        HWND dlg = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(d.id),
                                        nullptr, QuietDialogProc, 0);
        ASSERT_NE(nullptr, dlg);
        if (d.id != 100) {
            EXPECT_EQ(static_cast<int>(d.controls.size()), ChildCount(dlg));
        }
        for (const Control& c : d.controls) {
            SCOPED_TRACE(c.id);
            HWND item = ::GetDlgItem(dlg, c.id);
            ASSERT_NE(nullptr, item);
            EXPECT_EQ(0, _wcsicmp(c.cls, ClassOf(item).c_str())) << ClassOf(item).c_str();
            EXPECT_EQ(std::wstring(c.text), TextOf(item));
        }
        const bool visible = (::GetWindowLongPtrW(dlg, GWL_STYLE) & WS_VISIBLE) != 0;
        EXPECT_EQ(d.id == 102, visible);
        ::DestroyWindow(dlg);
    }
}

TEST(Dialogs, AboutBoxCaptionIsChinese) {
    HWND dlg = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(100), nullptr,
                                    QuietDialogProc, 0);
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ(L"关于 FastMendLUMAFWU", TextOf(dlg));
    ::DestroyWindow(dlg);
}

}  // namespace
