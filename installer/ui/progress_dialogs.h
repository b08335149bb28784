// The two progress dialogs of the installer, both on template 101: the
// self-extraction of a shipped installer, and the installation of one
// package ("data.rar", "dll.rar") into the install folder.
#pragma once

#include "framework/file.h"
#include "framework/ui/dialog.h"
#include "installer/core/archive_worker.h"
#include "installer/core/decompress_worker.h"
#include "installer/core/split_worker.h"

#include <string>

// What both dialogs share: the bar, the error text in its place, the Close
// button, and the work started from a timer once the dialog is on screen.
class CProgressDialog : public CDialog {
public:
    CProgressDialog();

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int code) override;
    void SetProgress(LPARAM position) const;
    void ShowError(const std::string& text, const char* caption) const;
    // True for the one-shot start timer, which it also stops.
    bool IsStartTimer(UINT message, WPARAM wParam) const;
};

class CSplitdlg : public CProgressDialog {
public:
    // parameters: what the working copy is started with (the switches).
    explicit CSplitdlg(const std::string& path, std::string parameters = std::string());
    // After a failed extraction: the package itself is damaged or unreadable,
    // rather than the temporary folder unwritable.
    bool DamagedPackage() const;

protected:
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnSplitProgress(WPARAM wParam, LPARAM lParam);

    std::string m_strSourcePath;
    std::string m_strParameters;
    CSplitTask m_task;
    bool m_bWorking = false;
};

class CUpdatedlg : public CProgressDialog {
public:
    explicit CUpdatedlg(const std::string& path);
    // True when the dialog ended because the user cancelled the work, not
    // because an error was shown and closed.
    bool Cancelled() const { return m_bCancelled; }

protected:
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnDecompressProgress(WPARAM wParam, LPARAM lParam);
    void OnArchiveProgress(WPARAM wParam, LPARAM lParam);
    bool WorkerRunning() const;
    // Ends the dialog once the stopped worker has ended.
    void FinishCancel();

    // The package and the archive decoded from it are the dialog's own
    // temporary files; declared before the tasks, so that a worker has
    // ended before its file goes.
    CTempFile m_package;
    CTempFile m_decoded;
    CArchiveTask m_archiveTask;
    CDecompressTask m_decompressTask;
    bool m_bFailed = false;
    bool m_bCancelled = false;
};
