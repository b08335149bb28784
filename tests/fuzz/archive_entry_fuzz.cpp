// Entry headers and paths of the packed archive, and whole archives through
// the file-installation worker: nothing may land outside the install folder.
#include "framework/file.h"
#include "framework/strings.h"
#include "framework/posix/host_path.h"
#include "framework/posix/notify_queue.h"
#include "fuzz_support.h"
#include "common/path_rules.h"
#include "format/archive.h"
#include "installer/core/archive_worker.h"
#include "installer/setup/setup_info.h"

#include <algorithm>
#include <filesystem>

namespace {
// Conditions any safe path meets, checked without the reader's own helpers:
// no drive or stream colon, no forward slash, no leading backslash, no empty,
// "." or ".." component. Characters are whole GBK characters: a trail byte
// equal to a separator is part of its character, as Windows reads it.
bool LooksContained(const std::string& path)
{
    if (path.empty() || path[0] == '\\' || MbFind(path, ':') != npos || MbFind(path, '/') != npos)
        return false;
    size_t start = 0;
    for (;;) {
        const size_t slash = MbFind(path, '\\', start);
        const std::string part = path.substr(start, slash == npos ? npos : slash - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (slash == npos)
            return true;
        start = slash + 1;
    }
}

void CheckHeader(const uint8_t* data, size_t size)
{
    CPackEntry entry;
    const EntryHeaderError error = ParseEntryHeader(data, size, entry);
    if (error != EntryHeaderError::None) {
        FUZZ_CHECK(error == EntryHeaderError::Damaged || !IsSafeRelativePath(entry.m_strFolder, entry.m_strName));
        return;
    }
    FUZZ_CHECK(size >= 4 && size <= kMaxRecordSize);
    FUZZ_CHECK(!entry.m_strName.empty());
    FUZZ_CHECK(LooksContained(entry.m_strFolder + entry.m_strName));
    // Written again, the header parses to the same entry.
    CPackWriter writer;
    entry.WriteTo(writer);
    CPackEntry again;
    FUZZ_CHECK(ParseEntryHeader(writer.Data(), writer.Size(), again) == EntryHeaderError::None);
    FUZZ_CHECK(again.m_nSize == entry.m_nSize && again.m_strName == entry.m_strName &&
               again.m_strFolder == entry.m_strFolder);
}

// Every host file below the sandbox other than the archive itself.
void ListFiles(const std::filesystem::path& root, std::vector<std::filesystem::path>& out)
{
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (!it->is_directory(ignored))
            out.push_back(it->path());
    }
}

// The entries a walk over the bytes in memory takes, and why it stopped.
struct Walked {
    std::vector<std::string> names;
    ArchiveError error;
};
Walked WalkBytes(const uint8_t* data, size_t size, bool lengthKnown)
{
    CMemoryInput input(data, size);
    CArchiveWalk walk(input, lengthKnown ? size : kUnknownLength);
    Walked walked;
    CPackEntry entry;
    while (walk.Next(entry)) {
        walked.names.push_back(entry.m_strFolder + entry.m_strName);
        if (walked.names.size() % 2 == 0)
            walk.Skip();
    }
    walked.error = walk.Error();
    FUZZ_CHECK(walked.error != ArchiveError::None || walk.Consumed() == size);
    return walked;
}

void InstallArchive(const uint8_t* data, size_t size)
{
    const std::string archive = FuzzFolder() + "data.h66";
    const std::string installDir = FuzzFolder() + "install\\";
    ResetFuzzFolder(installDir);
    FUZZ_CHECK(WriteFuzzFile(archive, data, size));

    CNotifyQueue queue;
    CArchiveTask task;
    task.m_hNotifyWnd = &queue;
    task.m_strArchive = archive;
    task.m_nExpectedLength = static_cast<uint32_t>(size);
    theSetupInfo = CSetupInfo();
    theSetupInfo.m_strInstallDir = installDir;
    const unsigned result = ArchiveThreadProc(&task);

    NotifyMessage m{}, final{};
    while (queue.Take(m, 0))
        final = m;
    FUZZ_CHECK(final.message == WM_ARCHIVE_PROGRESS);
    FUZZ_CHECK((result == 1) == (final.wParam == kProgressDone));
    FUZZ_CHECK(result == 1 || final.wParam == kProgressError);

    // The installer's walk, which knows the length, and the builder's, which
    // does not, stop for the same reason; the worker fails for that reason
    // unless a file could not be written before.
    const Walked known = WalkBytes(data, size, true), unknown = WalkBytes(data, size, false);
    FUZZ_CHECK(known.error == unknown.error);
    FUZZ_CHECK(unknown.names.size() >= known.names.size() && unknown.names.size() <= known.names.size() + 1);
    FUZZ_CHECK(std::equal(known.names.begin(), known.names.end(), unknown.names.begin()));
    if (result == 1)
        FUZZ_CHECK(known.error == ArchiveError::None && known.names == theSetupInfo.m_arrInstalledFiles);
    if (final.wParam == kProgressError && final.lParam == kPackUnsafePath)
        FUZZ_CHECK(known.error == ArchiveError::UnsafePath);
    if (final.wParam == kProgressError && final.lParam == kPackDamaged)
        FUZZ_CHECK(known.error != ArchiveError::None && known.error != ArchiveError::UnsafePath);

    // Nothing was written outside the install folder, and each listed file
    // is there.
    std::vector<std::filesystem::path> files;
    ListFiles(HostPath("C:\\"), files);
    const std::filesystem::path archiveHost = HostPath(archive);
    const std::string installHost = HostPath(installDir);
    for (const auto& file : files) {
        if (file != archiveHost)
            FUZZ_CHECK(file.string().compare(0, installHost.size(), installHost) == 0);
    }
    for (const std::string& listed : theSetupInfo.m_arrInstalledFiles) {
        FUZZ_CHECK(LooksContained(listed));
        FUZZ_CHECK(FuzzFileExists(installDir + listed));
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses: a lone header, or the bytes as a whole archive.
    if (data[0] & 1)
        InstallArchive(data + 1, size - 1);
    else
        CheckHeader(data + 1, size - 1);

    // A folder and a name taken apart from the input.
    CFuzzInput input(data, size);
    input.Byte();
    const std::string folder = input.Text(255);
    const std::string name = input.Rest();
    if (IsSafeRelativePath(folder, name))
        FUZZ_CHECK(LooksContained(folder + name));
    return 0;
}
