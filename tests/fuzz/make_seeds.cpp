// Writes a small seed corpus for every fuzz target into the folder given as
// the first argument (tests/fuzz/corpus): well-formed inputs made by the
// writing side of each format, so the fuzzers start past the first checks.
#include "framework/endian.h"
#include "format/item_directory.h"
#include "format/pack_entry.h"
#include "format/block_compressor.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {
fs::path g_root;

void Seed(const std::string& target, const std::string& name, const std::string& bytes)
{
    const fs::path folder = g_root / target;
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        std::fprintf(stderr, "cannot write %s\n", (folder / name).c_str());
}

std::string U16(size_t v)
{
    std::string out;
    return AppendLe16(out, static_cast<uint16_t>(v));
}

std::string Record(uint32_t size, const std::string& name, const std::string& folder)
{
    CPackEntry entry;
    entry.m_nSize = size;
    entry.m_strName = name;
    entry.m_strFolder = folder;
    CPackWriter writer;
    entry.WriteTo(writer);
    return std::string(reinterpret_cast<const char*>(writer.Data()), writer.Size());
}

// Contents, then the records from the last item to the first, count, marker.
std::string Directory(const std::vector<std::pair<std::string, std::string>>& items)
{
    std::string out;
    for (const auto& item : items)
        out += item.second;
    for (size_t i = items.size(); i-- > 0;) {
        const std::string record = Record(static_cast<uint32_t>(items[i].second.size()), items[i].first, "");
        out += record + U16(record.size());
    }
    return out + U16(items.size()) + U16(kMarkerPackaged);
}

std::string ArchiveEntry(const std::string& folder, const std::string& name, const std::string& bytes)
{
    const std::string header = Record(static_cast<uint32_t>(bytes.size()), name, folder);
    return U16(header.size()) + header + bytes;
}

// A PE32 header (16 directories) in front of the package, then what a
// signing tool appends: zeros to an 8-byte boundary and a certificate table
// named by the security directory.
std::string SignedInstaller(const std::string& package)
{
    std::string out(0x200, '\0');
    auto put32 = [&out](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<char>(v >> (8 * i));
    };
    out[0] = 'M';
    out[1] = 'Z';
    put32(0x3C, 0x40);
    out.replace(0x40, 4, std::string("PE\0\0", 4));
    out[0x54] = static_cast<char>(0xE0);
    out[0x58] = 0x0B;
    out[0x59] = 0x01;
    put32(0x58 + 92, 16);
    out += package;
    out.resize((out.size() + 7) / 8 * 8, '\0');
    put32(0x58 + 96 + 32, static_cast<uint32_t>(out.size()));
    put32(0x58 + 96 + 36, 16);
    return out + std::string("\x10\x00\x00\x00\x00\x02\x02\x00" "certific", 16);
}

const char* const kDescriptor =
    "[SoftInfo]\r\ncompanyname=Tessaramond Demo\r\nproductname=Demo\r\nproductversion=1.0\r\n\r\n"
    "[InstallInfo]\r\nfolder=Tessaramond Demo\\Demo\r\nbfoldersel=1\r\nexefile=demo.exe\r\n"
    "installexe=Z:\\media\\setup.exe\r\nfilelen=12345\r\n\r\n"
    "[StartMenu]\r\nlinknum=2\r\ngroup_0=Demo\r\nexefile_0=demo.exe\r\nlinkname_0=Demo\r\n"
    "group_1=Demo|Tools\r\nexefile_1=tool.exe\r\nlinkname_1=Tool\r\n\r\n"
    "[Desktop]\r\nlinknum=1\r\nexefile_0=demo.exe\r\nlinkname_0=Demo\r\n\r\n"
    "[SystemDll]\r\nckdll=1\r\n";

const char* const kRecord =
    "[SoftInfo]\r\nproductname=Demo\r\n\r\n[InstallInfo]\r\nInstallDir=C:\\Program Files\\Demo\\\r\n\r\n"
    "[StartMenu]\r\nlinknum=2\r\ngroup_0=Demo\r\nlinkname_0=\\Demo.lnk\r\ngroup_1=Demo|Tools\r\n"
    "linkname_1=\\Tool.lnk\r\n\r\n[Desktop]\r\nlinknum=1\r\nlinkname_0=\\Demo.lnk\r\n\r\n"
    "[UnInstallFile]\r\nfielnum=3\r\nfile_0=demo.exe\r\nfile_1=bin\\tool.exe\r\nfile_2=..\\escape.txt\r\n";
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds CORPUS_FOLDER\n");
        return 2;
    }
    g_root = argv[1];
    const std::string text = "Tessaramond installs products. Tessaramond installs products again.\r\n";
    std::string noise;
    for (unsigned i = 0, x = 7; i < 3000; ++i, x = x * 1103515245 + 12345)
        noise += static_cast<char>(x >> 16);

    Seed("item_directory", "two_items", Directory({{"data.rar", "archive bytes"}, {"setup.exe", "MZ stub"}}));
    Seed("item_directory", "five_items",
         Directory({{"data.rar", text}, {"dll.rar", "d"}, {"install.tmd", "t"}, {"licence.txt", "l"},
                    {"untessaramond.exe", "u"}}));
    Seed("item_directory", "empty", Directory({}));
    Seed("item_directory", "signed", SignedInstaller(Directory({{"data.rar", text}, {"install.tmd", "t"}})));
    Seed("item_directory", "checksums",
         std::string(64, 'a') + "  data.rar\n" + std::string(64, '0') + "  install.tmd\n");

    Seed("pack_entry", "record", Record(4096, "demo.exe", "bin\\"));
    Seed("pack_entry", "fields", std::string("\x10\x00\x00\x00\x08", 5) + "demo.exebin\\sub\\");

    Seed("block", "compressed_text", CompressPiece(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                                   CompressionLevel::Fast));
    Seed("block", "compressed_noise", CompressPiece(reinterpret_cast<const uint8_t*>(noise.data()), noise.size(),
                                                    CompressionLevel::Best));
    Seed("block", "plain", std::string(1, '\0') + text);

    Seed("block_stream", "stream", std::string(1, '\0') + CompressBytes(text + noise + std::string(9000, 'z'),
                                                                        CompressionLevel::Fast));
    Seed("block_stream", "compress_me", std::string(1, '\1') + text + noise);

    Seed("archive_entry", "header", std::string(1, '\0') + Record(5, "demo.exe", "bin\\"));
    Seed("archive_entry", "archive",
         std::string(1, '\1') + ArchiveEntry("", "demo.exe", "MZ demo") + ArchiveEntry("bin\\", "tool.dll", text) +
             ArchiveEntry("bin\\sub\\", "empty.txt", ""));
    Seed("archive_entry", "unsafe", std::string(1, '\0') + Record(1, "x.txt", "..\\"));

    const std::string document = kDescriptor;
    Seed("ini", "plain_with_edits",
         std::string(1, '\0') + U16(document.size()) + document + "\x01\x0bInstallInfo\x0ainstallexe\x05x.exe" +
             "\x03\x0bInstallInfo\x07\x66ilelen" + "\x01\x03New\x03key\x05value" + "\x00\x08SoftInfo\x07\x63ompany");
    Seed("ini", "scrambled_set_int",
         std::string(1, '\1') + U16(document.size()) + document + std::string("\x02\x07\x44\x65sktop\x07linknum\x05\0\0\0", 19));

    Seed("descriptor", "demo", kDescriptor);
    Seed("record", "demo", kRecord);

    Seed("command_line", "completed", "2|C:\\users\\user\\Temp\\TMD1.tmp\\|Demo|1|C:\\Program Files\\Demo\\|demo.exe|");
    Seed("command_line", "cancelled", "0|C:\\users\\user\\Temp\\TMD1.tmp\\|Demo|");
    Seed("command_line", "fields", "\x06\x01" "2\x01|\x05\x44\x65mo|");
    return 0;
}
