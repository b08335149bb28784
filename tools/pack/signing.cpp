#include "tools/pack/signing.h"

#include "format/item_directory.h"
#include "tools/pack/pack_error.h"
#include "tools/pack/package_writer.h"
#include "tools/pack/run_tool.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <vector>

namespace fs = std::filesystem;

namespace {
constexpr const char* kTool = "osslsigncode";

// A folder only its owner can read, removed with everything in it: the
// password written for the signing tool never outlives the build.
class CPrivateFolder {
public:
    CPrivateFolder()
    {
        std::random_device random;
        const fs::path base = fs::temp_directory_path();
        for (int attempt = 0; attempt < 16; ++attempt) {
            fs::path candidate = base / ("tessaramond-sign-" + std::to_string(random()));
            std::error_code error;
            if (fs::create_directory(candidate, error)) {
                fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, error);
                m_path = candidate;
                return;
            }
        }
        throw CPackFailure(Utf8Path(base) + ": no private folder for signing can be made there");
    }
    ~CPrivateFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    CPrivateFolder(const CPrivateFolder&) = delete;
    CPrivateFolder& operator=(const CPrivateFolder&) = delete;
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

void WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw CPackFailure(Utf8Path(path) + ": cannot be written" + SystemReason());
}

// The password reaches the tool as a file, never on its command line, where
// every user of the machine could read it.
fs::path PasswordFile(const SigningOptions& options, const CPrivateFolder& folder)
{
    if (!options.passwordFile.empty())
        return options.passwordFile;
    if (options.passwordVariable.empty())
        return {};
    const char* value = std::getenv(options.passwordVariable.c_str());
    if (value == nullptr)
        throw CPackFailure("the environment variable " + options.passwordVariable + " (the signing password) is not set");
    const fs::path path = folder.Path() / "password";
    {
        std::ofstream touch(path, std::ios::binary | std::ios::trunc);
    }
    std::error_code ignored;
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace, ignored);
    WriteBytes(path, value);
    return path;
}

void Sign(const SigningOptions& options, const fs::path& in, const fs::path& out, const CPrivateFolder& folder)
{
    CheckSigningOptions(options);
    std::vector<std::string> args = {kTool, "sign", "-h", "sha256"};
    if (!options.pkcs12.empty())
        args.insert(args.end(), {"-pkcs12", options.pkcs12.string()});
    else
        args.insert(args.end(), {"-certs", options.certs.string(), "-key", options.key.string()});
    if (const fs::path password = PasswordFile(options, folder); !password.empty())
        args.insert(args.end(), {"-readpass", password.string()});
    if (!options.timestampUrl.empty())
        args.insert(args.end(), {"-ts", options.timestampUrl});
    std::error_code ignored;
    fs::remove(out, ignored);  // the tool will not overwrite a file
    args.insert(args.end(), {"-in", in.string(), "-out", out.string()});
    const ToolResult result = RunTool(args);
    if (result.exitCode != 0) {
        fs::remove(out, ignored);
        throw CPackFailure(Utf8Path(in) + ": signing failed: " + ToolMessage(result.output));
    }
}
}  // namespace

void CheckSigningOptions(const SigningOptions& options)
{
    if (!options.pkcs12.empty() && (!options.key.empty() || !options.certs.empty()))
        throw CPackFailure("sign with either --sign-pkcs12 or --sign-key and --sign-cert, not both");
    if (options.pkcs12.empty() && (options.key.empty() || options.certs.empty()))
        throw CPackFailure("--sign-key and --sign-cert go together");
    if (!options.passwordFile.empty() && !options.passwordVariable.empty())
        throw CPackFailure("give the signing password either in a file or in a variable, not both");
    for (const fs::path* file : {&options.pkcs12, &options.key, &options.certs, &options.passwordFile}) {
        std::error_code error;
        if (!file->empty() && !fs::is_regular_file(*file, error))
            throw CPackFailure(Utf8Path(*file) + ": no such file (signing)");
    }
}

void SignFile(const SigningOptions& options, const fs::path& in, const fs::path& out)
{
    CPrivateFolder folder;
    Sign(options, in, out, folder);
}

std::string SignProgramBytes(const SigningOptions& options, const std::string& program, const std::string& name)
{
    CPrivateFolder folder;
    const fs::path in = folder.Path() / ("unsigned-" + name);
    const fs::path out = folder.Path() / name;
    WriteBytes(in, WithoutSignature(program, name));
    Sign(options, in, out, folder);
    std::string bytes;
    if (!ReadHostBytes(out, bytes))
        throw CPackFailure(name + ": the signed program cannot be read back");
    return bytes;
}

std::string WithoutSignature(const std::string& program, const std::string& name)
{
    CertificateTable table;
    const auto* data = reinterpret_cast<const uint8_t*>(program.data());
    switch (FindCertificateTable(data, program.size(), program.size(), table)) {
    case SignatureState::Unsigned: return program;
    case SignatureState::Misplaced:
        throw CPackFailure(name + ": its signature's certificate table does not end the file (damaged?)");
    case SignatureState::Signed: break;
    }
    // A program's sections end on a 512-byte boundary, so a program signed
    // on its own got no padding in front of its table.
    std::string out = program.substr(0, table.start);
    for (int i = 0; i < 8; ++i)
        out[table.entryOffset + i] = '\0';
    return out;
}

SignatureReport CheckSignature(const fs::path& file, const fs::path& caFile)
{
    SignatureReport report;
    std::string bytes;
    if (!ReadHostBytes(file, bytes))
        throw CPackFailure(Utf8Path(file) + ": cannot be read" + SystemReason());
    CertificateTable table;
    const SignatureState state = FindCertificateTable(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                                      bytes.size(), table);
    if (state == SignatureState::Misplaced) {
        report.message = "the certificate table does not end the file";
        return report;
    }
    report.isSigned = state == SignatureState::Signed;
    if (!report.isSigned) {
        report.message = "not signed";
        return report;
    }
    std::vector<std::string> args = {kTool, "verify", "-in", file.string()};
    if (!caFile.empty())
        args.insert(args.end(), {"-CAfile", caFile.string()});
    const ToolResult result = RunTool(args);
    report.verified = result.exitCode == 0;
    report.message = ToolMessage(result.output);
    return report;
}
