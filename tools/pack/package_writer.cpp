#include "tools/pack/package_writer.h"

#include "common/scramble.h"
#include "format/item_directory.h"
#include "tools/pack/archive_writer.h"
#include "tools/pack/descriptor.h"
#include "tools/pack/gbk.h"
#include "tools/pack/pack_error.h"

#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {
std::string ReadHostFile(const fs::path& path, const std::string& what)
{
    std::string bytes;
    if (!ReadHostBytes(path, bytes))
        throw CPackFailure(Utf8Path(path) + ": " + what + " is missing or cannot be read" + SystemReason());
    return bytes;
}

bool IsValidUtf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > text.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

// Appends an item's bytes to the output and notes its size.
class CPackageOutput {
public:
    explicit CPackageOutput(const fs::path& path) : m_path(path), m_buffer(1 << 20)
    {
        // The blocks come in pieces of a few KiB: a large buffer saves a
        // system call for nearly every one of them.
        m_out.rdbuf()->pubsetbuf(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
        m_out.open(path, std::ios::binary | std::ios::trunc);
        if (!m_out)
            throw CPackFailure(Utf8Path(path) + ": cannot be created" + SystemReason());
    }
    std::ofstream& Stream() { return m_out; }
    void AddItem(const std::string& name, const std::string& bytes)
    {
        m_out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        Added(name, bytes.size(), Sha256Of(bytes.data(), bytes.size()));
    }
    void Added(const std::string& name, uint64_t size, const Sha256Digest& digest)
    {
        m_checksums.push_back({name, digest});
        AddEntry(name, size);
    }
    // The checksums of every item so far, as the last item: entry 1, which
    // the installer extracts first and so knows them before the others.
    void AddChecksumItem()
    {
        const std::string list = ItemChecksumBytes(m_checksums);
        m_out.write(list.data(), static_cast<std::streamsize>(list.size()));
        AddEntry(kChecksumItemName, list.size());
        m_items.back().m_strFolder = kChecksumItemTag;
    }
    void AddEntry(const std::string& name, uint64_t size)
    {
        if (size > UINT32_MAX)
            throw CPackFailure(name + ": items of 4 GiB or more cannot be packed");
        CPackEntry entry;
        entry.m_nSize = static_cast<uint32_t>(size);
        entry.m_strName = name;
        m_items.push_back(std::move(entry));
    }
    // The item directory behind the contents.
    uint64_t Finish()
    {
        const std::string directory = ItemDirectoryBytes(m_items);
        m_out.write(directory.data(), static_cast<std::streamsize>(directory.size()));
        m_out.flush();
        if (!m_out)
            throw CPackFailure(Utf8Path(m_path) + ": writing failed (disk full?)");
        const auto length = static_cast<uint64_t>(m_out.tellp());
        m_out.close();
        return length;
    }

private:
    fs::path m_path;
    std::vector<char> m_buffer;
    std::ofstream m_out;
    std::vector<CPackEntry> m_items;
    std::vector<ItemChecksum> m_checksums;
};

// Removes the unfinished output unless the build got to the end.
class CRemoveUnlessKept {
public:
    explicit CRemoveUnlessKept(fs::path path) : m_path(std::move(path)) {}
    ~CRemoveUnlessKept()
    {
        std::error_code ignored;
        if (!m_kept)
            fs::remove(m_path, ignored);
    }
    CRemoveUnlessKept(const CRemoveUnlessKept&) = delete;
    CRemoveUnlessKept& operator=(const CRemoveUnlessKept&) = delete;
    void Keep() { m_kept = true; }

private:
    fs::path m_path;
    bool m_kept = false;
};

// The total is known once every listing has ended; progress is told from then on.
using KnownTotal = std::function<std::optional<uint64_t>()>;

void AddCompressedArchive(CPackageOutput& out, const std::string& itemName, const CArchiveLayout& layout,
                          CompressionLevel level, uint64_t& done, const KnownTotal& total,
                          const std::function<void(uint64_t, uint64_t)>& progress)
{
    CBlockCompressor compressor(out.Stream(), level);
    const uint64_t before = done;
    uint64_t reported = done;
    const bool written = compressor.CompressInput(
        [&layout](uint64_t offset, std::span<uint8_t> room) { return layout.Fill(offset, room); },
        [&](uint64_t n) {
            done = before + n;
            if (progress && done - reported >= (1u << 22)) {
                if (const std::optional<uint64_t> known = total()) {
                    reported = done;
                    progress(done, *known);
                }
            }
        });
    if (!written)
        throw CPackFailure(itemName + ": writing failed (disk full?)");
    done = before + compressor.InputBytes();
    out.Added(itemName, compressor.OutputBytes(), compressor.OutputDigest());
}
}  // namespace

std::string PrepareLicence(const std::string& text, const std::string& fileName)
{
    const std::string body = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text;
    std::string gbk, probe;
    if (!Utf8ToGbk(body, gbk)) {
        if (IsValidUtf8(body) || !GbkToUtf8(body, probe))
            throw CPackFailure(fileName + ": the licence has characters that GBK cannot hold");
        gbk = body;  // not UTF-8 but valid GBK: already in the installer's code page
    }
    std::string out;
    for (size_t i = 0; i < gbk.size(); ++i) {
        if (gbk[i] == '\n' && (i == 0 || gbk[i - 1] != '\r'))
            out += '\r';
        out += gbk[i];
    }
    return out;
}

bool ReadHostBytes(const fs::path& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream out;
    out << in.rdbuf();
    bytes = out.str();
    return !in.bad();
}

CPackageListing::CPackageListing(const BuildOptions& options)
    : m_product(std::make_unique<CFolderListing>(options.product)),
      m_system(options.systemDll.empty() ? nullptr : std::make_unique<CFolderListing>(options.systemDll))
{
}

void CPackageListing::CallOff(const std::string& reason)
{
    const std::exception_ptr failure = std::make_exception_ptr(CPackFailure(reason));
    m_product->Layout().End(failure);
    if (m_system)
        m_system->Layout().End(failure);
}

BuildSummary BuildPackage(const BuildOptions& options, const CPackageListing& listing,
                          const std::function<void(uint64_t, uint64_t)>& progress,
                          const std::function<bool()>& keep)
{
    // Everything small is read and checked before the output is touched.
    // A signature of the stub would end up inside the installer, where it
    // signs nothing and no reader of the package looks for it.
    const std::string stub = WithoutSignature(ReadHostFile(options.stub, "the installer stub"), Utf8Path(options.stub));
    std::string uninstaller = ReadHostFile(options.uninstaller, "the uninstaller");
    std::string launcher = ReadHostFile(options.launcher, "the uninstall launcher");
    if (options.signing.Enabled()) {
        // Signed before they are packed, and before the long compression, so
        // that a wrong password or key stops the build at once.
        CheckSigningOptions(options.signing);
        uninstaller = SignProgramBytes(options.signing, uninstaller, "untessaramond.exe");
        launcher = SignProgramBytes(options.signing, launcher, "uninstall.exe");
    }
    const std::string licence = PrepareLicence(ReadHostFile(options.licence, "the licence"),
                                               Utf8Path(options.licence));
    std::string descriptor = PrepareDescriptor(ReadHostFile(options.descriptor, "the setup descriptor"),
                                               !options.systemDll.empty(), Utf8Path(options.descriptor));
    ScrambleBytes(descriptor);
    const CArchiveLayout& product = listing.Product();
    const CArchiveLayout* system = listing.System();
    const KnownTotal total = [&]() -> std::optional<uint64_t> {
        const std::optional<uint64_t> first = product.KnownLength();
        const std::optional<uint64_t> second = system ? system->KnownLength() : uint64_t{0};
        if (!first || !second)
            return std::nullopt;
        return *first + *second;
    };

    fs::path partial = options.output;
    partial += ".partial";
    CRemoveUnlessKept cleanup(partial);
    CPackageOutput out(partial);
    out.Stream().write(stub.data(), static_cast<std::streamsize>(stub.size()));
    uint64_t done = 0;
    AddCompressedArchive(out, "data.rar", product, options.level, done, total, progress);
    if (system)
        AddCompressedArchive(out, "dll.rar", *system, options.level, done, total, progress);
    out.AddItem("install.tmd", descriptor);
    out.AddItem("license.txt", licence);
    out.AddItem("untessaramond.exe", uninstaller);
    out.AddItem("uninstall.exe", launcher);
    out.AddChecksumItem();
    BuildSummary summary;
    summary.outputBytes = out.Finish();
    summary.files = product.Files().size() + (system ? system->Files().size() : 0);
    summary.productBytes = done;
    if (keep && !keep())
        throw CPackFailure(Utf8Path(options.output) + ": the build was called off");
    if (progress)
        progress(done, done);
    fs::path finished = partial;
    if (options.signing.Enabled()) {
        finished = options.output;
        finished += ".signed";
        CRemoveUnlessKept signedCleanup(finished);
        SignFile(options.signing, partial, finished);
        std::error_code ignored;
        summary.outputBytes = fs::file_size(finished, ignored);
        signedCleanup.Keep();
    }
    CRemoveUnlessKept finishedCleanup(finished);
    std::error_code error;
    fs::rename(finished, options.output, error);
    if (error)
        throw CPackFailure(Utf8Path(options.output) + ": cannot be written (" + error.message() + ")");
    finishedCleanup.Keep();
    return summary;
}

BuildSummary BuildPackage(const BuildOptions& options, const std::function<void(uint64_t, uint64_t)>& progress)
{
    const CPackageListing listing(options);
    return BuildPackage(options, listing, progress, nullptr);
}
