// The installer's wizard frame, and the confirmation it asks before the
// installation is abandoned.
#pragma once

#include "common/ui/wizard_frame.h"
#include "framework/ui/dialog.h"
#include "installer/ui/pages.h"

#include <string>

// Returns 1 to go on with the wizard, 2 to quit the installation.
class COutDlg : public CDialog {
public:
    // What DoModal returns: the values the confirmation has always ended with.
    enum Choice : int { kContinue = 1, kQuit = 2 };
    COutDlg();

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int code) override;
    void OnOK() override { EndDialog(kContinue); }
    void OnCancel() override { EndDialog(kQuit); }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

class CInstallDlg : public CWizardFrame {
public:
    // finishMode: only the finish page, with the outcome of the command line.
    explicit CInstallDlg(int finishMode);

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int code) override;
    void OnCancel() override;

private:
    void OnNext();
    void OnBack();
    void SetNextLabel(const char* label) const;

    CPage0 m_page0;
    CPage1 m_page1;
    CPage2 m_page2;
    CPage3 m_page3;
    CPage4 m_page4;
    int m_bFinishMode;
    // From "安装" until the frame ends: every command is ignored.
    bool m_bInstalling = false;
};
