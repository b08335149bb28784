// A native tab control used as a stack of at most 16 child-dialog pages, its
// tab strip cut away. Both wizards host their pages in it; the pages belong
// to the wizard, not to the host.
#pragma once

#include "framework/ui/dialog.h"
#include "framework/ui/subclass.h"

class CPageTabCtrl : public CSubclassedWindow {
public:
    static constexpr int kMaxPages = 16;

    // Creates the host as a visible child of the frame over rect.
    bool Create(HWND parent, const RECT& rect, int id);
    // False when 16 pages are held already; otherwise creates the page as a
    // child dialog of the host and adds its tab item.
    bool AddPage(const char* name, CDialog* page, unsigned templateId);
    // The previous index; -1 (nothing changes) for an index out of range.
    int SelectPage(int index);
    int GetCurrentPage() const;
    int PageCount() const { return m_nPageCount; }
    void ShowFirstPage();
    void LayoutPages();
    void ClipTabStrip();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ShowPage(int index, bool show) const;

    int m_nCurPage = 0;
    int m_nPageCount = 0;
    const char* m_names[kMaxPages] = {};
    unsigned m_templates[kMaxPages] = {};
    CDialog* m_pages[kMaxPages] = {};
};
