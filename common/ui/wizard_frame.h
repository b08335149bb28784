// What the installer's and the uninstaller's wizard frames share: the icon,
// the caption, the 500 x 375 window with its placed controls, the page host
// with its pages, and the painted header band.
#pragma once

#include "common/ui/page_tab_ctrl.h"
#include "common/ui/wizard_chrome.h"
#include "framework/ui/dialog.h"

#include <initializer_list>
#include <string>

class CWizardFrame : public CDialog {
public:
    struct Page {
        CDialog* page;
        unsigned templateId;
    };

protected:
    CWizardFrame(int templateId, int iconId);
    // Icon, caption "%s 安装", placement and the page host holding the pages
    // (tab items "0", "1", ...), showing the first one. For OnInitDialog.
    void InitFrame(const std::string& productName, const WizardControlIds& ids, std::initializer_list<Page> pages);
    // The drag icon and the painting of the frame.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    HICON m_hIcon;
    CPageTabCtrl m_tabPages;
    std::string m_strDate;

private:
    std::string m_strProductName;
};
