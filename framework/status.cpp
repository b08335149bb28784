#include "framework/status.h"

#include "framework/strings.h"

const char* StatusCodeName(StatusCode code)
{
    switch (code) {
    case StatusCode::Ok: return "ok";
    case StatusCode::NotFound: return "not found";
    case StatusCode::Exists: return "already exists";
    case StatusCode::AccessDenied: return "access denied";
    case StatusCode::SharingViolation: return "sharing violation";
    case StatusCode::DiskFull: return "disk full";
    case StatusCode::BadData: return "damaged data";
    case StatusCode::EndOfFile: return "ends early";
    case StatusCode::Failed: break;
    }
    return "failed";
}

std::string Status::Describe() const
{
    if (m_code == StatusCode::Ok)
        return "ok";
    std::string text = m_operation;
    if (!m_path.empty())
        text += " " + m_path;
    text += m_osError != 0 ? Format(": OS error %u (%s)", static_cast<unsigned>(m_osError), StatusCodeName(m_code))
                           : Format(": %s", StatusCodeName(m_code));
    return text;
}
