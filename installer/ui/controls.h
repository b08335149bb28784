// The flat controls of the installer's pages: a check box that draws itself
// completely, and an edit box with a grey line outside and a white one inside.
#pragma once

#include "framework/ui/subclass.h"

#include <string>

class CCheckBox : public CSubclassedWindow {
public:
    CCheckBox();
    // Takes over the template's check box and makes it owner-drawn.
    bool Bind(int id, HWND dialog);
    void SetText(const std::string& text) { m_strText = text; }
    void SetCheck(int state);
    // The owner-draw request, passed on by the page.
    void DrawItem(const DRAWITEMSTRUCT& item) const;

    COLORREF m_crBack = RGB(255, 255, 255);
    COLORREF m_crText = RGB(0, 0, 0);
    COLORREF m_crFrame = RGB(0, 0, 0);
    std::string m_strText;
    int m_bHover = 0;
    int m_bChecked = 0;
    int m_bTracking = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    unique_gdi<> m_hFont;
};

class CHllEdit : public CSubclassedWindow {
public:
    bool Bind(int id, HWND dialog) { return SubclassDlgItem(id, dialog); }
    // The colour request the edit sends its parent, answered by the control:
    // white background and black text whether it is editable, read-only or disabled.
    HBRUSH CtlColor(HDC dc) const;

    COLORREF m_crBorder = RGB(131, 131, 131);
    COLORREF m_crBack = RGB(255, 255, 255);
    COLORREF m_crText = RGB(0, 0, 0);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
