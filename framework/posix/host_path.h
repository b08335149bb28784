// The POSIX stand-in presents a Windows-like machine: paths keep their Windows
// form, drive Z: is the host's root (as under Wine) and drive C: is a sandbox
// folder named by the environment variable TESSARAMOND_C_DRIVE.
#pragma once

#include <string>

// Host path for a Windows-form path; "" when the drive does not exist.
std::string HostPath(const std::string& windowsPath);
// Windows-form path for a host path (C: inside the sandbox, Z: elsewhere).
std::string WindowsPath(const std::string& hostPath);
// Host folder that stands for drive C:, without a trailing slash; "" if unset.
std::string SandboxRoot();
