#include "installer/setup/setup_info.h"

#include "common/path_rules.h"
#include "common/shell.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "installer/setup/split_string.h"

CSetupInfo theSetupInfo;

void CSetupInfo::ParseCommandLine(const std::string& text)
{
    CSplitString fields(text, '|');
    m_nOutcome = fields.GetFieldInt(0);
    m_strTempDir = fields.GetField(1);
    m_strProductName = fields.GetField(2);
    if (m_nOutcome == kOutcomeCompleted) {
        m_bRunAfter = fields.GetFieldInt(3);
        m_strInstallDir = fields.GetField(4);
        m_strRunProgram = fields.GetField(5);
    }
}

CSetupInfo::FolderCommit CSetupInfo::CommitInstallFolder(const std::string& shown)
{
    // Every path of the installation is joined onto this folder, and the
    // uninstaller takes only an absolute local folder below a drive root:
    // anything else could be installed into but never removed again.
    const std::string folder = TidyFolder(shown);
    if (!IsLocalFolder(folder) || folder.size() <= 3)
        return FolderCommit::Unusable;
    m_bInstallDirCreated = !IsFolder(folder) || IsFolderEmpty(folder);
    // Each level made here is taken away again by an abandoned installation.
    for (size_t at = MbFind(folder, '\\', 3); at != npos; at = MbFind(folder, '\\', at + 1)) {
        const std::string level = folder.substr(0, at);
        if (!IsFolder(level) && CreateFolder(level))
            m_arrCreatedFolders.push_back(level);
    }
    if (!IsFolder(folder))
        return FolderCommit::NotCreated;
    m_strInstallDir = folder;
    return FolderCommit::Committed;
}

void CSetupInfo::OpenPackagedLog(const std::string& installerPath)
{
    CSetupInfo extracted;
    std::string name;
    if (!m_strTempDir.empty() && extracted.LoadDescriptorFrom(m_strTempDir + "install.tmd"))
        name = extracted.m_strProductName;
    if (name.empty()) {
        const size_t slash = MbReverseFind(installerPath, '\\');
        name = installerPath.substr(slash == npos ? 0 : slash + 1);
        const size_t dot = MbReverseFind(name, '.');
        if (dot != npos && dot > 0)
            name.resize(dot);
    }
    m_log.Open(LogPathFor(name));
}
