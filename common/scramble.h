// Scrambling of the configuration files kept on disk (the setup descriptor
// and the uninstall records): every byte XOR (key byte XOR low byte of the
// file length). The transform is its own inverse for a file of unchanged
// length; the key byte comes from a key string compiled into every program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The key string shared by the installer and the uninstaller.
extern const char* const kScrambleKey;

// 64-bit key value of a zero-terminated text; its lowest byte is the key byte.
uint64_t KeyValueFromString(const char* text);

// The transform over bytes in memory, with the mask taken from their count.
void ScrambleBytes(uint8_t* data, size_t size);
inline void ScrambleBytes(std::string& data)
{
    ScrambleBytes(reinterpret_cast<uint8_t*>(data.data()), data.size());
}

// The transform applied to a file in place. 1 when the file was transformed,
// 0 when it cannot be opened for reading and writing or is empty.
int ScrambleFile(const std::string& path);
int UnscrambleFile(const std::string& path);
