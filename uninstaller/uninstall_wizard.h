// The uninstaller's two-page wizard on the installer's frame design: the
// welcome page names the product and its folder, "下一步" removes it and the
// finish page says so.
#pragma once

#include "common/ui/wizard_frame.h"
#include "common/ui/wizard_page.h"

#include <string>

class CUninstallInfo;

class CUninstallPage0 : public CWizardPage {
public:
    explicit CUninstallPage0(const CUninstallInfo& info);

protected:
    BOOL OnInitDialog() override;
    std::vector<Line> Lines(int H) const override;

private:
    const CUninstallInfo& m_info;
};

class CUninstallPage1 : public CWizardPage {
public:
    explicit CUninstallPage1(const CUninstallInfo& info);

protected:
    std::vector<Line> Lines(int H) const override;

private:
    const CUninstallInfo& m_info;
};

class CUninstallDlg : public CWizardFrame {
public:
    explicit CUninstallDlg(const CUninstallInfo& info);
    // Whether "下一步" ran the removal, and whether it removed everything.
    bool Removed() const { return m_bRemoved; }
    bool Complete() const { return m_bComplete; }

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int code) override;

private:
    void OnNext();

    const CUninstallInfo& m_info;
    CUninstallPage0 m_page0;
    CUninstallPage1 m_page1;
    bool m_bRemoved = false;
    bool m_bComplete = false;
};
