// A one-line progress report on standard error, drawn only when it is a
// terminal: bytes done of the total, a bar, the rate and the time left.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// True when the descriptor (1 standard output, 2 standard error) is a terminal.
bool IsTerminal(int fd);

// "12.5 MiB", "980 KiB", "17 B".
std::string FormatBytes(uint64_t bytes);
// The progress line for done of total bytes after the given seconds.
std::string ProgressLine(const std::string& label, uint64_t done, uint64_t total, double seconds);

class CProgressBar {
public:
    explicit CProgressBar(std::string label);
    ~CProgressBar();
    CProgressBar(const CProgressBar&) = delete;
    CProgressBar& operator=(const CProgressBar&) = delete;
    void Update(uint64_t done, uint64_t total);

private:
    using Clock = std::chrono::steady_clock;
    std::string m_label;
    bool m_enabled;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_lastDrawn{};
    bool m_drawn = false;
    size_t m_width = 0;
};
