// Modal dialogs from templates in the program's resources, with the few
// control operations the programs use.
#pragma once

#include "framework/win32/wide.h"

#include <windows.h>

#include <string>

class CDialog {
public:
    explicit CDialog(int templateId) : m_nTemplate(templateId) {}
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog until EndDialog; IDOK, IDCANCEL or -1 if it could not be created.
    INT_PTR DoModal(HWND parent = nullptr);
    // Creates the dialog as a modeless child of parent; false on failure.
    bool Create(HWND parent);
    HWND GetSafeHwnd() const { return m_hWnd; }

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // A WM_COMMAND; the default routes IDOK and IDCANCEL.
    virtual void OnCommand(int id, int code);
    // Any other message; true when handled, with its result.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    void EndDialog(int result);
    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }
    void ShowItem(int id, bool show) const { ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE); }
    void SetItemText(int id, const std::string& text) const { SetDlgItemTextW(m_hWnd, id, Widen(text).c_str()); }
    void SetCaption(const std::string& text) const { ::SetWindowTextW(m_hWnd, Widen(text).c_str()); }

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    int m_nTemplate;
};
