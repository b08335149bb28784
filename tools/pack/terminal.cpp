#include "tools/pack/terminal.h"

#include <cstdio>
#include <unistd.h>

bool IsTerminal(int fd) { return isatty(fd) != 0; }

std::string FormatBytes(uint64_t bytes)
{
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, units[unit]);
    return text;
}

std::string ProgressLine(const std::string& label, uint64_t done, uint64_t total, double seconds)
{
    if (done > total)
        done = total;
    const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    constexpr int kWidth = 24;
    const int filled = percent * kWidth / 100;
    std::string line = label + " " + FormatBytes(done) + " / " + FormatBytes(total) + " [" +
                       std::string(static_cast<size_t>(filled), '=') + std::string(static_cast<size_t>(kWidth - filled), ' ') +
                       "] " + std::to_string(percent) + "%";
    // The rate needs a moment of history before it means anything.
    if (seconds >= 0.25 && done > 0) {
        const double rate = static_cast<double>(done) / seconds;
        line += "  " + FormatBytes(static_cast<uint64_t>(rate)) + "/s";
        if (done < total) {
            const auto left = static_cast<uint64_t>(static_cast<double>(total - done) / rate + 0.5);
            char eta[64];
            if (left >= 3600)
                std::snprintf(eta, sizeof eta, "  %llu h %02llu min left", static_cast<unsigned long long>(left / 3600),
                              static_cast<unsigned long long>(left % 3600 / 60));
            else if (left >= 60)
                std::snprintf(eta, sizeof eta, "  %llu min %02llu s left", static_cast<unsigned long long>(left / 60),
                              static_cast<unsigned long long>(left % 60));
            else
                std::snprintf(eta, sizeof eta, "  %llu s left", static_cast<unsigned long long>(left));
            line += eta;
        }
    }
    return line;
}

CProgressBar::CProgressBar(std::string label) : m_label(std::move(label)), m_enabled(IsTerminal(2)) {}

CProgressBar::~CProgressBar()
{
    if (m_enabled && m_drawn)
        std::fputc('\n', stderr);
}

void CProgressBar::Update(uint64_t done, uint64_t total)
{
    if (!m_enabled)
        return;
    const Clock::time_point now = Clock::now();
    // A few redraws a second, and always the last one.
    if (m_drawn && done < total && now - m_lastDrawn < std::chrono::milliseconds(200))
        return;
    m_lastDrawn = now;
    m_drawn = true;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    // Spaces cover what a longer earlier line left at the end.
    const std::string line = ProgressLine(m_label, done, total, seconds);
    const size_t pad = m_width > line.size() ? m_width - line.size() : 0;
    m_width = line.size();
    std::fprintf(stderr, "\r%s%*s", line.c_str(), static_cast<int>(pad), "");
    std::fflush(stderr);
}
