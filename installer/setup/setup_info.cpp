#include "installer/setup/setup_info.h"

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
