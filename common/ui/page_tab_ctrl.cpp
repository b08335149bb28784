#include "common/ui/page_tab_ctrl.h"

#include "framework/win32/wide.h"

#include <commctrl.h>

bool CPageTabCtrl::Create(HWND parent, const RECT& rect, int id)
{
    HWND host = CreateWindowExW(WS_EX_CONTROLPARENT, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    // Taken by its handle: the id may be shared with a control of the template.
    return host && SubclassWindow(host);
}

bool CPageTabCtrl::AddPage(const char* name, CDialog* page, unsigned templateId)
{
    if (m_nPageCount >= kMaxPages)
        return false;
    m_names[m_nPageCount] = name;
    m_pages[m_nPageCount] = page;
    m_templates[m_nPageCount] = templateId;
    ++m_nPageCount;
    page->Create(m_hWnd);
    std::wstring label = Widen(name);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = label.data();
    SendMessageW(m_hWnd, TCM_INSERTITEMW, static_cast<WPARAM>(m_nPageCount - 1), reinterpret_cast<LPARAM>(&item));
    return true;
}

void CPageTabCtrl::ShowPage(int index, bool show) const
{
    if (index >= 0 && index < m_nPageCount && m_pages[index]->GetSafeHwnd())
        ShowWindow(m_pages[index]->GetSafeHwnd(), show ? SW_SHOW : SW_HIDE);
}

int CPageTabCtrl::SelectPage(int index)
{
    if (index < 0 || index >= m_nPageCount)
        return -1;
    if (index == m_nCurPage)
        return index;
    const int previous = m_nCurPage;
    ShowPage(m_nCurPage, false);
    m_nCurPage = index;
    ShowPage(m_nCurPage, true);
    SendMessageW(m_hWnd, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    return previous;
}

int CPageTabCtrl::GetCurrentPage() const
{
    return static_cast<int>(SendMessageW(m_hWnd, TCM_GETCURSEL, 0, 0));
}

void CPageTabCtrl::ShowFirstPage()
{
    for (int i = 0; i < m_nPageCount; ++i)
        ShowPage(i, i == 0);
    LayoutPages();
}

void CPageTabCtrl::LayoutPages()
{
    RECT client, tab = {};
    GetClientRect(m_hWnd, &client);
    SendMessageW(m_hWnd, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tab));
    for (int i = 0; i < m_nPageCount; ++i) {
        if (HWND page = m_pages[i]->GetSafeHwnd())
            SetWindowPos(page, nullptr, tab.left + 1, tab.bottom + 1, client.right - tab.left - 2,
                         client.bottom - tab.bottom - 3, SWP_NOZORDER);
    }
}

void CPageTabCtrl::ClipTabStrip()
{
    RECT client;
    GetClientRect(m_hWnd, &client);
    unique_gdi<HRGN> region(CreateRectRgn(client.left + 2, client.top + 25, client.right - 2, client.bottom - 2));
    // The window owns the region once it has taken it.
    if (SetWindowRgn(m_hWnd, region.get(), TRUE) != 0)
        region.release();
}

LRESULT CPageTabCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND)
        return TRUE;
    if (message == WM_LBUTTONDOWN) {
        const LRESULT result = Default(message, wParam, lParam);
        const int focus = static_cast<int>(SendMessageW(m_hWnd, TCM_GETCURFOCUS, 0, 0));
        if (focus >= 0 && focus < m_nPageCount && focus != m_nCurPage) {
            ShowPage(m_nCurPage, false);
            m_nCurPage = focus;
            ShowPage(m_nCurPage, true);
        }
        return result;
    }
    return Default(message, wParam, lParam);
}
