// Milliseconds since the system started, as a wrapping 32-bit count.
#pragma once

#include <cstdint>

uint32_t GetTickCount32();
