// A one-line progress bar on standard error, drawn only when it is a terminal.
#pragma once

#include <cstdint>
#include <string>

// True when the descriptor (1 standard output, 2 standard error) is a terminal.
bool IsTerminal(int fd);

class CProgressBar {
public:
    explicit CProgressBar(std::string label);
    ~CProgressBar();
    CProgressBar(const CProgressBar&) = delete;
    CProgressBar& operator=(const CProgressBar&) = delete;
    void Update(uint64_t done, uint64_t total);

private:
    std::string m_label;
    bool m_enabled;
    int m_lastPercent = -1;
};
