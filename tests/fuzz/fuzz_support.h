// What the fuzz targets share: a check that stops the run with a message,
// a cursor that cuts the fuzzer's bytes into fields, and a scratch folder on
// a sandbox drive C: for the loaders that read files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

[[noreturn]] void FuzzFailure(const char* condition, const char* file, int line);

// A property that must hold for every input; a failure aborts the run so
// libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                    \
    do {                                                         \
        if (!(condition))                                        \
            FuzzFailure(#condition, __FILE__, __LINE__);         \
    } while (0)

// Reads fields off the front of the input; past the end every field is zero
// or empty.
class CFuzzInput {
public:
    CFuzzInput(const uint8_t* data, size_t size) : m_data(data), m_left(size) {}
    bool Empty() const { return m_left == 0; }
    size_t Left() const { return m_left; }
    uint8_t Byte();
    uint16_t U16();
    uint32_t U32();
    // A byte count (at most max), then that many bytes.
    std::string Text(size_t max);
    std::string Rest();

private:
    const uint8_t* m_data;
    size_t m_left;
};

// "C:\fuzz\" of this process: drive C: is a fresh host folder removed at exit.
const std::string& FuzzFolder();
bool WriteFuzzFile(const std::string& path, const void* data, size_t size);
bool WriteFuzzFile(const std::string& path, const std::string& bytes);
// The whole file, or "" when it cannot be read.
std::string ReadFuzzFile(const std::string& path);
bool FuzzFileExists(const std::string& path);
// Removes a folder of the sandbox with everything below it and makes it anew.
void ResetFuzzFolder(const std::string& path);
