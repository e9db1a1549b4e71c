#pragma once
#include <richedit.h>

#include "win/Wnd.h"

// Controls of the templates, bound to their ids by subclassing.
class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(::SendMessageW(m_hWnd, BM_GETCHECK, 0, 0)); }
    void SetCheck(int state) { ::SendMessageW(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(state), 0); }
};

class CStatic : public CWnd {};

class CScrollBar : public CWnd {
public:
    BOOL SetScrollInfo(SCROLLINFO* info, BOOL redraw = TRUE) {
        return static_cast<BOOL>(::SendMessageW(m_hWnd, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(info)));
    }
    BOOL GetScrollInfo(SCROLLINFO* info, UINT mask = SIF_ALL) {
        info->cbSize = sizeof(SCROLLINFO);
        info->fMask = mask;
        return static_cast<BOOL>(::SendMessageW(m_hWnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)));
    }
};

class CRichEditCtrl : public CWnd {
public:
    int GetFirstVisibleLine() const {
        return static_cast<int>(::SendMessageW(m_hWnd, EM_GETFIRSTVISIBLELINE, 0, 0));
    }
};
