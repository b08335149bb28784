#include "installer/core/split_worker.h"

#include "common/shell.h"
#include "framework/file.h"
#include "framework/retry.h"
#include "framework/strings.h"
#include "installer/core/decompress_worker.h"
#include "installer/core/item_extract.h"
#include "installer/setup/setup_info.h"

#include <algorithm>

CWinThread* StartSplitThread(CSplitTask& task) { return StartWorker(task, SplitThreadProc); }

namespace {
// What the working run and the finish run open in their folder, whatever the
// package holds, and the working copy itself.
const char* const kFixedNames[] = {"setup.exe",   "data.rar",          "dll.rar",      "install.tmd",
                                   "license.txt", "untessaramond.exe", "uninstall.exe"};
// Extensions of what the loader takes from a program's own folder by name:
// DLLs imported or loaded without a path, drivers, controls, IMEs.
const char* const kModuleExtensions[] = {".dll", ".drv", ".ocx", ".cpl", ".ax", ".acm", ".ime", ".tsp"};

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Removes a file, or a folder with everything below it, taking the read-only
// attribute off what refuses to go. True when nothing of it is left.
bool RemoveLeftover(const std::string& path, bool isFolder)
{
    if (!isFolder)
        return RemoveFile(path) || (MakeWritable(path) && RemoveFile(path));
    // An empty folder goes at once, and so does a junction or folder link,
    // which is never walked: its contents are somewhere else.
    if (RemoveFolder(path))
        return true;
    {
        CFileFind finder;
        for (bool more = finder.FindFile(path + "\\*.*"); more; more = finder.FindNext()) {
            if (!finder.IsDots())
                RemoveLeftover(path + "\\" + finder.GetFileName(), finder.IsDirectory());
        }
    }  // the search is closed before the folder itself goes
    return RemoveFolder(path) || (MakeWritable(path) && RemoveFolder(path));
}
}  // namespace

bool IsHarmlessLeftover(const std::string& name, const std::vector<std::string>& itemNames)
{
    const std::string lower = MbLowerAscii(name);
    for (const char* fixed : kFixedNames) {
        if (lower == fixed)
            return false;
    }
    for (const std::string& item : itemNames) {
        if (lower == MbLowerAscii(item))
            return false;
    }
    // "setup.exe.local" and "setup.exe.manifest" tell the loader where the
    // working copy's DLLs come from.
    if (lower.compare(0, 10, "setup.exe.") == 0)
        return false;
    for (const char* extension : kModuleExtensions) {
        if (EndsWith(lower, extension))
            return false;
    }
    return true;
}

std::string ClearStaleItems(const std::string& folder, const std::string& keep,
                            const std::vector<std::string>& itemNames)
{
    std::string blocking;
    CFileFind finder;
    for (bool more = finder.FindFile(folder + "*.*"); more; more = finder.FindNext()) {
        const std::string name = finder.GetFileName();
        if (finder.IsDots() || MbLowerAscii(name) == MbLowerAscii(keep))
            continue;
        // One that another program holds open cannot go; it may stay when
        // nothing of this package would read it.
        if (!RemoveLeftover(folder + name, finder.IsDirectory()) && blocking.empty() &&
            !IsHarmlessLeftover(name, itemNames))
            blocking = name;
    }
    return blocking;
}

unsigned SplitThreadProc(void* param)
{
    auto& task = *static_cast<CSplitTask*>(param);
    auto error = [&](intptr_t code) {
        task.Post(WM_SPLIT_PROGRESS, kProgressError, code);
        return 0u;
    };
    auto progress = [&](int position) { task.Post(WM_SPLIT_PROGRESS, kProgressPosition, position); };

    auto leftover = [&](const std::string& name) {
        task.m_strLeftover = name;
        return error(kCompressLeftover);
    };

    CLog& log = theSetupInfo.m_log;
    log.Write("extract", "installer " + task.m_strSourceInstaller + " into " + task.m_strTargetFolder);
    if (Status made = CreateFolder(task.m_strTargetFolder); !made && !made.Is(StatusCode::Exists))
        log.Failed("extract", "the working folder", made);
    const std::string copy = task.m_strTargetFolder + "setup.exe";
    // A working copy of an earlier start may still be ending and hold its
    // file for a moment; a read-only one is made writable, and a folder of
    // its name, from which no working copy can run, is removed. A copy that
    // cannot be made is an error: going on would extract the stale copy of
    // another installer.
    Status copied = CopyFileTo(task.m_strSourceInstaller, copy, false);
    if (!copied) {
        log.Failed("extract", "the working copy (trying again for 3 s)", copied);
        CFileFind found;
        if (found.FindFile(copy) && found.IsDirectory())
            RemoveLeftover(copy, true);
        else
            MakeWritable(copy).Ignore();  // the copy that follows tells
        copied = RetryTransient([&] { return CopyFileTo(task.m_strSourceInstaller, copy, false); });
    }
    if (!copied)
        return log.Failed("extract", "the working copy", copied), FileExists(copy) && FileExists(task.m_strSourceInstaller) ? leftover("setup.exe")
                                                                          : error(kCompressOpenSource);

    ItemDirectory directory;
    {
        CFile file;
        if (Status opened = file.Open(copy, CFile::modeReadWrite | CFile::shareDenyNone); !opened)
            return log.Failed("extract", "the working copy", opened), error(kCompressOpenSource);
        if (file.GetLength() == 0)
            return task.m_bDamaged = true, error(kCompressEmptySource);
        progress(5);
        // A signature is the shipped file's, not the working copy's: the
        // copy loses its certificate table, the padding in front of it and
        // the header's pointer to it, so that it ends with its package.
        {
            CFileSource source(file);
            PackageSpan span;
            if (!LocatePackageEnd(source, span))
                return task.m_bDamaged = true, log.Write("extract", "FAILED the signature does not lie at the end of the installer"),
                       error(kCompressDamaged);
            if (span.state == SignatureState::Signed) {
                const uint8_t none[8] = {};
                const auto entry = static_cast<int64_t>(span.table.entryOffset);
                if (Status cut = file.SetLength(span.end); !cut)
                    return log.Failed("extract", "the working copy's signature", cut), error(kCompressWriteDest);
                if (file.Seek(entry, CFile::begin) != entry || !file.Write(none, sizeof none))
                    return log.Write("extract", "FAILED the working copy's header cannot be written"),
                           error(kCompressWriteDest);
                log.Write("extract", Format("signed: the package ends at %llu",
                                            static_cast<unsigned long long>(span.end)));
            }
        }
        // A directory that does not fit the file is refused before anything
        // is cut or written.
        uint8_t header[4096];
        const auto headerSize = static_cast<uint32_t>(std::min<uint64_t>(sizeof header, file.GetLength()));
        bool exact = false;
        const uint64_t imageEnd = file.Seek(0, CFile::begin) == 0 && ReadFully(file, header, headerSize)
                                      ? ProgramImageEnd(header, headerSize, exact)
                                      : 0;
        if (ReadItemDirectory(file, directory) != DirectoryError::None)
            return task.m_bDamaged = true, log.Write("extract", "FAILED the item directory is damaged"), error(kCompressDamaged);
        // The items are cut off the end one after another, so their sizes
        // must fill the room between the program and the directory exactly:
        // otherwise the last item would take bytes of the program, or lose
        // bytes of its own to it, and nobody would notice.
        uint64_t contents = 0;
        for (const CPackEntry& entry : directory.entries)
            contents += entry.m_nSize;
        const uint64_t room = directory.start - contents;
        if (imageEnd != 0 && (exact ? imageEnd != room : imageEnd > room))
            return task.m_bDamaged = true, log.Write("extract", "FAILED the items do not fill the room after the program"),
                   error(kCompressDamaged);
    }
    // The folder's name is fixed, so it may hold items of an earlier run,
    // perhaps of another product: a "dll.rar" or an uninstaller this package
    // does not carry would be taken for its own. The fresh copy shows that no
    // working copy runs from here any more; everything else goes, and what
    // cannot go and would be read stops the extraction with its name.
    std::vector<std::string> itemNames;
    for (const CPackEntry& entry : directory.entries)
        itemNames.push_back(entry.m_strName);
    const std::string blocking = ClearStaleItems(task.m_strTargetFolder, "setup.exe", itemNames);
    if (!blocking.empty())
        return log.Write("extract", "FAILED a leftover of an earlier run cannot be removed: " + blocking),
               leftover(blocking);

    int position = 10;
    progress(position);
    for (size_t i = 0; i < directory.entries.size(); ++i) {
        position += 10;
        progress(position);
    }

    // An item that cannot be written stops the extraction: a later item
    // would otherwise take the wrong bytes.
    const ExtractError extracted =
        ExtractAllItems(copy, task.m_strTargetFolder, directory, theSetupInfo, [&](size_t) {
            position += 10;
            progress(position);
            return true;
        });
    if (extracted == ExtractError::Damaged) {
        // Nothing of a damaged package may be started or taken for the
        // next run's: the working copy and every item go.
        for (const CPackEntry& entry : directory.entries)
            RemoveFile(task.m_strTargetFolder + entry.m_strName).Ignore();
        RemoveFile(copy).Ignore();
        task.m_bDamaged = true;
        return error(kCompressChecksum);
    }
    if (extracted != ExtractError::None)
        return error(kCompressCreateDest);

    // Without its marker the copy would start as a broken installer: say so
    // instead of starting it.
    if (!MarkExtracted(copy))
        return log.Write("extract", "FAILED the working copy's marker cannot be written"), error(kCompressWriteDest);
    progress(85);
    for (size_t i = directory.entries.size(); i > 0; --i) {
        position = 85 + 5 * static_cast<int>(directory.entries.size() - i + 1);
        progress(position);
    }
    log.Write("extract", "done");
    task.Post(WM_SPLIT_PROGRESS, kProgressDone, 0);
    return 1;
}
