#include "tools/pack/terminal.h"

#include <cstdio>
#include <unistd.h>

bool IsTerminal(int fd) { return isatty(fd) != 0; }

CProgressBar::CProgressBar(std::string label) : m_label(std::move(label)), m_enabled(IsTerminal(2)) {}

CProgressBar::~CProgressBar()
{
    if (m_enabled && m_lastPercent >= 0)
        std::fputc('\n', stderr);
}

void CProgressBar::Update(uint64_t done, uint64_t total)
{
    if (!m_enabled)
        return;
    const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    if (percent == m_lastPercent)
        return;
    m_lastPercent = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", m_label.c_str(), filled, "========================================",
                 kWidth - filled, "", percent);
    std::fflush(stderr);
}
