// The five pages of the installer's wizard: borderless children of the page
// host that paint their own texts on white.
#pragma once

#include "common/ui/wizard_page.h"
#include "installer/ui/controls.h"

#include <string>
#include <vector>

class CPage0 : public CWizardPage {
public:
    CPage0();

protected:
    std::vector<Line> Lines(int H) const override;
};

class CPage1 : public CWizardPage {
public:
    CPage1();
    // Shows the licence file in the read-only text box; a message box names
    // a file that cannot be read.
    void LoadLicense(const std::string& path);
    CHllEdit m_editLicense;

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    std::vector<Line> Lines(int H) const override;
};

class CPage2 : public CWizardPage {
public:
    CPage2();
    // The shown folder becomes the install folder (with its trailing
    // backslash), which is created. False, after a message, for a folder
    // that cannot be used; the page then stays.
    bool CommitFolder();
    CHllEdit m_editFolder;

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    std::vector<Line> Lines(int H) const override;

private:
    // The longest folder the page takes, in UTF-16 units: the longest path
    // the wide calls accept.
    static constexpr size_t kLongestFolder = 32767;
    void OnBrowse();
    void RefuseFolderName(const std::wstring& folder) const;
};

class CPage3 : public CWizardPage {
public:
    CPage3();
    // The install sequence behind the install button.
    BOOL RunInstall();
    CCheckBox m_chkStartMenu;
    CCheckBox m_chkDesktop;
    CCheckBox m_chkRunAfter;

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    std::vector<Line> Lines(int H) const override;
};

class CPage4 : public CWizardPage {
public:
    CPage4();

protected:
    std::vector<Line> Lines(int H) const override;
};
