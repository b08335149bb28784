// The application object: one per program, its InitInstance decides what the
// process does, and the exit code it leaves is the process's exit code.
#pragma once

#include <string>

class CWinApp {
public:
    virtual ~CWinApp() = default;
    // Runs InitInstance with the command line after the program name, as
    // GBK, and returns the exit code it left.
    int Run();

protected:
    virtual bool InitInstance() = 0;

    std::string m_lpCmdLine;
    int m_nExitCode = 0;
};

// A message box owned by no window, captioned with the program's name.
int AfxMessageBox(const std::string& text, unsigned type = 0);
