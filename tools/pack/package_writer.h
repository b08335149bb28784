// Writes one shipped installer: the installer stub, the item contents, the
// item directory, the item count and the marker 1978.
#pragma once

#include "tools/pack/archive_writer.h"
#include "format/block_compressor.h"
#include "tools/pack/signing.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct BuildOptions {
    std::filesystem::path output;
    std::filesystem::path descriptor;  // UTF-8 INI text
    std::filesystem::path product;     // becomes "data.rar"
    std::filesystem::path systemDll;   // optional; becomes "dll.rar" and sets ckdll=1
    std::filesystem::path licence;
    std::filesystem::path stub;         // the installer program
    std::filesystem::path uninstaller;  // "untessaramond.exe"
    std::filesystem::path launcher;     // "uninstall.exe"
    CompressionLevel level = CompressionLevel::Fast;
    SigningOptions signing;  // signs the uninstaller, the launcher and the installer when enabled
};

struct BuildSummary {
    uint64_t files = 0;
    uint64_t productBytes = 0;  // archive bytes before compression
    uint64_t outputBytes = 0;
};

// The product folder and the system-library folder, listed on every core
// from the moment this is made, so that a build packs the files as the
// listing gets to them while a review of the inputs looks at them.
class CPackageListing {
public:
    explicit CPackageListing(const BuildOptions& options);
    const CArchiveLayout& Product() const { return m_product->Layout(); }
    // Null without a system-library folder.
    const CArchiveLayout* System() const { return m_system ? &m_system->Layout() : nullptr; }
    // Calls the build off: what packs the files stops with reason.
    void CallOff(const std::string& reason);

private:
    std::unique_ptr<CFolderListing> m_product;
    std::unique_ptr<CFolderListing> m_system;
};

// progress(done, total) counts archive bytes compressed so far, from when
// the listing has ended and the total is known. Throws CPackFailure; the
// output is written under a temporary name and only renamed when complete,
// so a failed build leaves nothing behind.
BuildSummary BuildPackage(const BuildOptions& options, const std::function<void(uint64_t, uint64_t)>& progress);
// The same build over folders being listed. keep() is asked once the output
// is complete and before it is signed and kept: false calls it off, with a
// CPackFailure.
BuildSummary BuildPackage(const BuildOptions& options, const CPackageListing& listing,
                          const std::function<void(uint64_t, uint64_t)>& progress,
                          const std::function<bool()>& keep);

// The whole of a small host file (descriptor, licence, programs); false when
// it cannot be read.
bool ReadHostBytes(const std::filesystem::path& path, std::string& bytes);

// Licence text for the wizard: UTF-8 converted to GBK (text that is not
// UTF-8 is taken as GBK already), line ends CR LF.
std::string PrepareLicence(const std::string& text, const std::string& fileName);
