#include "installer/core/split_worker.h"

#include "common/shell.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "installer/core/decompress_worker.h"
#include "installer/core/item_directory.h"
#include "installer/setup/setup_info.h"

#include <algorithm>
#include <chrono>
#include <thread>

CWinThread* StartSplitThread(CSplitTask& task) { return StartWorker(task, SplitThreadProc); }

bool ClearStaleItems(const std::string& folder, const std::string& keep)
{
    for (int pass = 0; pass < 2; ++pass) {
        bool clean = true;
        CFileFind finder;
        for (bool more = finder.FindFile(folder + "*.*"); more; more = finder.FindNext()) {
            if (finder.IsDots() || MbLowerAscii(finder.GetFileName()) == MbLowerAscii(keep))
                continue;
            clean = false;
            if (pass == 0) {
                const std::string path = folder + finder.GetFileName();
                if (finder.IsDirectory())
                    DeleteFolderTree(path);
                else
                    RemoveFile(path);
            }
        }
        if (clean)
            return true;
    }
    return false;
}

unsigned SplitThreadProc(void* param)
{
    auto& task = *static_cast<CSplitTask*>(param);
    auto error = [&](intptr_t code) {
        task.Post(WM_SPLIT_PROGRESS, kProgressError, code);
        return 0u;
    };
    auto progress = [&](int position) { task.Post(WM_SPLIT_PROGRESS, kProgressPosition, position); };

    CreateFolder(task.m_strTargetFolder);
    const std::string copy = task.m_strTargetFolder + "setup.exe";
    // A working copy of an earlier start may still be ending and hold its
    // file for a moment. A copy that cannot be made is an error: going on
    // would extract the stale copy of another installer.
    bool copied = CopyFileTo(task.m_strSourceInstaller, copy, false);
    for (int attempt = 0; !copied && attempt < 30; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        copied = CopyFileTo(task.m_strSourceInstaller, copy, false);
    }
    if (!copied)
        return error(kCompressOpenSource);
    // The folder's name is fixed, so it may hold items of an earlier run,
    // perhaps of another product: a "dll.rar" or an uninstaller this package
    // does not carry would be taken for its own. The fresh copy shows that no
    // working copy runs from here any more; everything else goes, and what
    // cannot go stops the extraction.
    if (!ClearStaleItems(task.m_strTargetFolder, "setup.exe"))
        return error(kCompressCreateDest);

    ItemDirectory directory;
    {
        CFile file;
        if (!file.Open(copy, CFile::modeReadWrite | CFile::shareDenyNone))
            return error(kCompressOpenSource);
        if (file.GetLength() == 0)
            return error(kCompressEmptySource);
        progress(5);
        // A directory that does not fit the file is refused before anything
        // is cut or written.
        uint8_t header[4096];
        const auto headerSize = static_cast<uint32_t>(std::min<uint64_t>(sizeof header, file.GetLength()));
        bool exact = false;
        const uint64_t imageEnd = file.Seek(0, CFile::begin) == 0 && ReadFully(file, header, headerSize)
                                      ? ProgramImageEnd(header, headerSize, exact)
                                      : 0;
        if (ReadItemDirectory(file, directory) != DirectoryError::None)
            return error(kCompressDamaged);
        // The items are cut off the end one after another, so their sizes
        // must fill the room between the program and the directory exactly:
        // otherwise the last item would take bytes of the program, or lose
        // bytes of its own to it, and nobody would notice.
        uint64_t contents = 0;
        for (const CPackEntry& entry : directory.entries)
            contents += entry.m_nSize;
        const uint64_t room = directory.start - contents;
        if (imageEnd != 0 && (exact ? imageEnd != room : imageEnd > room))
            return error(kCompressDamaged);
    }
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
    if (extracted != ExtractError::None)
        return error(kCompressCreateDest);

    // Without its marker the copy would start as a broken installer: say so
    // instead of starting it.
    if (!MarkExtracted(copy))
        return error(kCompressWriteDest);
    progress(85);
    for (size_t i = directory.entries.size(); i > 0; --i) {
        position = 85 + 5 * static_cast<int>(directory.entries.size() - i + 1);
        progress(position);
    }
    task.Post(WM_SPLIT_PROGRESS, kProgressDone, 0);
    return 1;
}
