// orv_demo <tool folder> <screens folder> <tag>: runs the tool in <tool folder>,
// repairs once, opens the agreement viewer, closes the tool, and saves a
// screenshot of every step as <screens folder>\<tag>-NN-<step>.png.
#include <windows.h>
#include <gdiplus.h>

#include <cstdio>
#include <string>

#include "tools/guidriver/GuiDriver.h"

namespace gd = guidriver;

namespace {

constexpr int kRepair = 1016, kClose = 1005, kAgreementLink = 1014, kPromptFirst = 1007, kProgressText = 1000,
              kSolved = 1003, kViewerEdit = 1009;

std::wstring g_screens, g_tag;
int g_step = 0;

void Shot(const wchar_t* name) {
    wchar_t file[64];
    swprintf(file, 64, L"-%02d-", ++g_step);
    const std::wstring path = g_screens + L"\\" + g_tag + file + name + L".png";
    gd::SaveScreenshot(path);
    wprintf(L"screenshot %ls\n", path.c_str());
    fflush(stdout);
}

HWND WaitForPair(DWORD pid, int control, DWORD timeoutMs) {
    HWND child = gd::WaitForWindowWithControl(pid, control, timeoutMs);
    if (child) gd::WaitForProp(::GetWindow(child, GW_OWNER), L"Orvane.PairSettled", 3000);
    return child;
}

void Pause(DWORD ms) { gd::WaitFor([] { return false; }, ms); }

// Clicks a control once it takes clicks, and waits for what the click should bring.
bool ClickAndWait(HWND control, const std::function<bool()>& done) {
    return gd::ClickWhenHittable(control, 3000, done, 5000);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        fwprintf(stderr, L"usage: orv_demo <tool folder> <screens folder> <tag>\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    g_screens = argv[2];
    g_tag = argv[3];
    ::CreateDirectoryW(g_screens.c_str(), nullptr);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    gd::Process tool;
    if (!tool.Start(folder + L"\\FastMendLUMAFWU.exe", L"", folder)) {
        fwprintf(stderr, L"could not start the tool\n");
        return 1;
    }
    int status = 1;
    HWND panel = WaitForPair(tool.pid(), kRepair, 20000);
    if (!panel) {
        Shot(L"no-panel");
        fwprintf(stderr, L"the main panel did not appear\n");
    } else {
        Pause(500);
        Shot(L"main");

        gd::ClickControl(::GetDlgItem(panel, kRepair));
        if (WaitForPair(tool.pid(), kProgressText, 10000)) {
            Pause(1200);
            Shot(L"repairing");
        }
        if (HWND outcome = WaitForPair(tool.pid(), kPromptFirst, 60000)) {
            Pause(300);
            Shot(L"outcome");
            ClickAndWait(::GetDlgItem(outcome, kPromptFirst), [&] { return !::IsWindowVisible(outcome); });
        }

        HWND link = ::GetDlgItem(panel, kAgreementLink);
        if (link && ::IsWindowVisible(link)) {
            HWND viewer = nullptr;
            ClickAndWait(link, [&] { return (viewer = gd::FindTopWindow(tool.pid(), L"", L"", [](HWND h) {
                                               return ::GetDlgItem(h, kViewerEdit) != nullptr;
                                           })) != nullptr; });
            if (viewer) {
                Pause(800);
                Shot(L"agreement");
                // A click elsewhere on the panel hides it again.
                RECT r{};
                ::GetWindowRect(panel, &r);
                gd::Click(r.left + 60, r.top + 60);
                gd::WaitForGone(viewer, 3000);
            }
        }

        ClickAndWait(::GetDlgItem(panel, kClose), [&] {
            return !tool.Running() || gd::FindTopWindow(tool.pid(), L"", L"", [](HWND h) {
                       return ::GetDlgItem(h, kSolved) != nullptr;
                   }) != nullptr;
        });
        if (HWND feedback = tool.Running() ? WaitForPair(tool.pid(), kSolved, 5000) : nullptr) {
            Pause(300);
            Shot(L"feedback");
            ClickAndWait(::GetDlgItem(feedback, kSolved), [&] { return !::IsWindowVisible(feedback); });
        }
        status = tool.Wait(30000) ? 0 : 1;
        if (status) Shot(L"still-running");
    }
    Gdiplus::GdiplusShutdown(token);
    return status;
}
