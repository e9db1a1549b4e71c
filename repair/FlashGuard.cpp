#include "repair/FlashGuard.h"

#include "dialogs/Messages.h"

CFlashGuard::CFlashGuard(const FlashCalls& calls, HWND panel) : m_calls(calls), m_hPanel(panel)
{
    m_calls.setExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    if (m_hPanel)
        ::SendMessageW(m_hPanel, WM_FLASH_STATE, 1, 0);
}

CFlashGuard::~CFlashGuard()
{
    if (m_hPanel)
        ::SendMessageW(m_hPanel, WM_FLASH_STATE, 0, 0);
    m_calls.setExecutionState(ES_CONTINUOUS);
}

std::wstring ShutdownBlockReasonText(int language)
{
    return language == 1 ? L"正在修复，请勿关机或注销" : L"Repairing the lighting firmware; do not shut down or log off";
}

void CShutdownBlockReason::Set(HWND window, int language)
{
    if (m_hWindow || !window)
        return;
    if (m_calls.blockReasonCreate(window, ShutdownBlockReasonText(language).c_str()))
        m_hWindow = window;
}

void CShutdownBlockReason::Clear()
{
    if (!m_hWindow)
        return;
    m_calls.blockReasonDestroy(m_hWindow);
    m_hWindow = nullptr;
}
