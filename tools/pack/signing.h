// Authenticode signatures for what the builder writes, made and checked by
// Debian's osslsigncode: the uninstaller and the launcher before they are
// packed, the finished installer last.
#pragma once

#include <filesystem>
#include <string>

struct SigningOptions {
    std::filesystem::path pkcs12;        // a PKCS#12 file with key and certificate chain, or
    std::filesystem::path key, certs;    // a PEM key and its PEM certificate (chain)
    std::filesystem::path passwordFile;  // the password of the PKCS#12 file or of an encrypted key,
    std::string passwordVariable;        // or the name of the environment variable holding it
    std::string timestampUrl;            // an RFC 3161 time-stamp service, optional
    bool Enabled() const { return !pkcs12.empty() || !certs.empty() || !key.empty(); }
};

// Throws CPackFailure when the options do not name one complete key.
void CheckSigningOptions(const SigningOptions& options);

// Signs the program in into the new file out. Throws CPackFailure with the
// signing tool's own message.
void SignFile(const SigningOptions& options, const std::filesystem::path& in, const std::filesystem::path& out);
// The same over bytes in memory; name is for messages.
std::string SignProgramBytes(const SigningOptions& options, const std::string& program, const std::string& name);

// A signed program's bytes without the certificate table and the header's
// pointer to it; unsigned bytes as they are. Throws CPackFailure when the
// table does not end the file.
std::string WithoutSignature(const std::string& program, const std::string& name);

struct SignatureReport {
    bool isSigned = false;
    bool verified = false;
    std::string message;  // what the verification said, one line
};
// caFile: the certificates to trust instead of the system's, or empty.
SignatureReport CheckSignature(const std::filesystem::path& file, const std::filesystem::path& caFile);
