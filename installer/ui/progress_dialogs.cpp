#include "installer/ui/progress_dialogs.h"

#include "common/shell.h"
#include "framework/file.h"
#include "framework/ui/subclass.h"
#include "framework/win32/wide.h"
#include "installer/setup/setup_info.h"
#include "resources/resource.h"

#include <commctrl.h>

namespace {
constexpr UINT_PTR kStartTimer = 10001;
// Polls for the end of a worker that was asked to stop.
constexpr UINT_PTR kStopTimer = 10002;
constexpr UINT kStopPollMs = 20;

// The text naming a leftover, its name shortened until the text fits on the
// one line of the message control in the control's font.
std::string FittedLeftoverText(HWND control, const std::string& name)
{
    RECT box{};
    GetClientRect(control, &box);
    std::string text = GetLeftoverText(name, name.size());
    HDC dc = GetDC(control);
    if (dc == nullptr)
        return text;
    {
        CSelectObject font(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
        for (size_t chars = name.size(); chars > 0; --chars) {
            text = GetLeftoverText(name, chars);
            SIZE size{};
            const std::wstring shown = Widen(text);
            if (GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size) && size.cx <= box.right)
                break;
        }
    }
    ReleaseDC(control, dc);
    return text;
}
}

CProgressDialog::CProgressDialog() : CDialog(IDD_PROGRESS) {}

BOOL CProgressDialog::OnInitDialog()
{
    ShowItem(IDC_PROGRESS_MESSAGE, false);
    ShowItem(IDC_PROGRESS_CLOSE, false);
    // The work starts from a timer, so that the dialog is on screen first.
    SetTimer(m_hWnd, kStartTimer, 100, nullptr);
    return TRUE;
}

void CProgressDialog::OnCommand(int id, int code)
{
    if (id == IDC_PROGRESS_CLOSE && code == BN_CLICKED)
        OnCancel();
    else
        CDialog::OnCommand(id, code);
}

void CProgressDialog::SetProgress(LPARAM position) const
{
    SendMessageW(Item(IDC_PROGRESS_BAR), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void CProgressDialog::ShowError(const std::string& text, const char* caption) const
{
    ShowItem(IDC_PROGRESS_BAR, false);
    SetItemText(IDC_PROGRESS_MESSAGE, text);
    ShowItem(IDC_PROGRESS_MESSAGE, true);
    ShowItem(IDC_PROGRESS_CLOSE, true);
    SetCaption(caption);
}

bool CProgressDialog::IsStartTimer(UINT message, WPARAM wParam) const
{
    if (message != WM_TIMER || wParam != kStartTimer)
        return false;
    KillTimer(m_hWnd, kStartTimer);
    return true;
}

CSplitdlg::CSplitdlg(const std::string& path, std::string parameters)
    : m_strSourcePath(path), m_strParameters(std::move(parameters))
{
}

bool CSplitdlg::DamagedPackage() const
{
    return m_task.m_bDamaged;
}

void CSplitdlg::OnCancel()
{
    // The copy and its items are being written: the dialog stays until the
    // worker has ended, then the Close button (or Escape) ends it.
    if (m_bWorking)
        return;
    m_task.ReleaseThread();
    CDialog::OnCancel();
}

bool CSplitdlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (IsStartTimer(message, wParam)) {
        SetCaption("正在初始化向导,请等待...");
        SetProgress(0);
        theSetupInfo.m_strTempDir = GetTempFolder() + "Tessaramond\\";
        m_task.m_strSourceInstaller = m_strSourcePath;
        m_task.m_strTargetFolder = theSetupInfo.m_strTempDir;
        m_task.m_hNotifyWnd = m_hWnd;
        m_bWorking = true;
        StartSplitThread(m_task);
        return false;
    }
    if (message == WM_SPLIT_PROGRESS) {
        OnSplitProgress(wParam, lParam);
        result = 0;
        return true;
    }
    return false;
}

void CSplitdlg::OnSplitProgress(WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case kProgressError:
        m_bWorking = false;
        m_task.ReleaseThread();
        ShowError(lParam == kCompressLeftover ? FittedLeftoverText(Item(IDC_PROGRESS_MESSAGE), m_task.m_strLeftover)
                                              : GetCompressErrorText(lParam),
                  "初始化向导错误");
        break;
    case kProgressPosition:
        SetProgress(lParam);
        break;
    case kProgressDone:
        m_bWorking = false;
        m_task.ReleaseThread();
        theSetupInfo.m_strSourceExe = m_strSourcePath;
        // The log has its name now, before the working copy writes to it.
        theSetupInfo.OpenPackagedLog(m_strSourcePath);
        if (!theSetupInfo.UpdateDescriptor(theSetupInfo.m_strTempDir + "install.tmd"))
            theSetupInfo.m_log.Write("extract", "FAILED the working copy's descriptor cannot be updated");
        theSetupInfo.m_log.Check("extract", "starting the working copy",
                                 LaunchProgram(theSetupInfo.m_strTempDir + "setup.exe",
                                               m_strParameters.empty() ? nullptr : &m_strParameters));
        OnOK();
        break;
    }
}

CUpdatedlg::CUpdatedlg(const std::string& path) : m_package(path) {}

void CUpdatedlg::OnCancel()
{
    // After an error the work has ended and Close only closes.
    if (m_bFailed) {
        CDialog::OnCancel();
        return;
    }
    if (m_bCancelled)
        return;
    // The running worker is asked to stop and the dialog waits for its end
    // from a timer, not by blocking: the window keeps answering meanwhile.
    // A stopped worker posts nothing more.
    m_bCancelled = true;
    KillTimer(m_hWnd, kStartTimer);
    m_decompressTask.m_evCancel.SetEvent();
    m_archiveTask.m_evCancel.SetEvent();
    SetTimer(m_hWnd, kStopTimer, kStopPollMs, nullptr);
    FinishCancel();
}

bool CUpdatedlg::WorkerRunning() const
{
    return (m_decompressTask.m_pThread && m_decompressTask.m_pThread->IsRunning()) ||
           (m_archiveTask.m_pThread && m_archiveTask.m_pThread->IsRunning());
}

void CUpdatedlg::FinishCancel()
{
    if (WorkerRunning())
        return;
    KillTimer(m_hWnd, kStopTimer);
    m_decompressTask.ReleaseThread();
    m_archiveTask.ReleaseThread();
    // Neither the package nor a decoded archive is of use any more (a
    // stopped worker has removed the archive already); the files already
    // installed are taken back by the install sequence. What stays lies in
    // the temporary folder, which the finish run removes.
    m_package.Remove();
    m_decoded.Remove();
    CDialog::OnCancel();
}

bool CUpdatedlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (m_bCancelled) {
        // What a worker posted before it saw the request is of no matter now.
        if (message == WM_TIMER && wParam == kStopTimer)
            FinishCancel();
        if (message != WM_TIMER && message != WM_DECOMPRESS_PROGRESS && message != WM_ARCHIVE_PROGRESS)
            return false;
        result = 0;
        return true;
    }
    if (IsStartTimer(message, wParam)) {
        SetCaption("正在解压文件,请等待...");
        SetProgress(0);
        m_decompressTask.m_strSource = m_package.Path();
        m_decoded.Assign(MakeTempFileName("data.h66"));
        m_decompressTask.m_strDest = m_decoded.Path();
        m_decompressTask.m_hNotifyWnd = m_hWnd;
        StartDecompressThread(m_decompressTask);
        return false;
    }
    if (message == WM_DECOMPRESS_PROGRESS) {
        OnDecompressProgress(wParam, lParam);
        result = 0;
        return true;
    }
    if (message == WM_ARCHIVE_PROGRESS) {
        OnArchiveProgress(wParam, lParam);
        result = 0;
        return true;
    }
    return false;
}

void CUpdatedlg::OnDecompressProgress(WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case kProgressError:
        m_bFailed = true;
        m_decompressTask.ReleaseThread();
        ShowError(GetCompressErrorText(lParam), "解压文件错误");
        m_package.Remove();
        m_decoded.Remove();
        break;
    case kProgressPosition:
        SetProgress(lParam);
        break;
    case kProgressDone:
        m_decompressTask.ReleaseThread();
        m_package.Remove();  // decoded: its room is needed for the installed files
        SetCaption("正在安装文件,请等待...");
        SetProgress(0);
        m_archiveTask.m_strArchive = m_decoded.Path();
        m_archiveTask.m_nExpectedLength = GetFileLength(m_archiveTask.m_strArchive);
        m_archiveTask.m_hNotifyWnd = m_hWnd;
        StartArchiveThread(m_archiveTask);
        break;
    }
}

void CUpdatedlg::OnArchiveProgress(WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case kProgressError:
        m_bFailed = true;
        m_archiveTask.ReleaseThread();
        ShowError(GetPackErrorText(lParam), "安装文件错误");
        m_decoded.Remove();
        break;
    case kProgressPosition:
        SetProgress(lParam);
        break;
    case kProgressDone:
        m_archiveTask.ReleaseThread();
        m_decoded.Remove();
        OnOK();
        break;
    }
}
