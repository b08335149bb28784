// CPackReader over any bytes, and CPackWriter then CPackReader over any entry.
#include "fuzz_support.h"
#include "format/pack_entry.h"

namespace {
// Reads fields in the order the input chooses until the cursor stops; it
// never moves backwards nor past the end.
void ReadAnyFields(const uint8_t* data, size_t size, uint8_t plan)
{
    CPackReader reader(data, size);
    reader.SetScrambled(plan & 1);
    for (int step = 0; step < 64; ++step) {
        const size_t before = reader.Position();
        if (plan >> (step % 7 + 1) & 1) {
            uint32_t value = 1;
            reader.ReadU32(value);
            FUZZ_CHECK(reader.Position() == before + 4 || (reader.Position() == before && value == 0));
        } else {
            std::string text = "stale";
            reader.ReadText(text);
            FUZZ_CHECK(reader.Position() >= before);
            FUZZ_CHECK(text.find('\0') == std::string::npos);
            if (!text.empty())
                FUZZ_CHECK(reader.Position() >= before + 2 + text.size() + 1);
        }
        FUZZ_CHECK(reader.Position() <= size);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    ReadAnyFields(data + 1, size - 1, data[0]);

    CPackEntry entry;
    CPackReader reader(data, size);
    entry.ReadFrom(reader);
    FUZZ_CHECK(reader.Position() <= size);

    // Any entry the writer holds completely reads back as it was written.
    CFuzzInput input(data, size);
    CPackEntry written;
    written.m_nSize = input.U32();
    written.m_strName = input.Text(255);
    written.m_strFolder = input.Rest();
    CPackWriter writer;
    written.WriteTo(writer);
    FUZZ_CHECK(writer.Size() <= CPackWriter::kCapacity);
    const size_t whole = 4 + 2 + written.m_strName.size() + 1 + 2 + written.m_strFolder.size() + 1;
    if (whole > CPackWriter::kCapacity) {
        FUZZ_CHECK(writer.Size() < whole);
        return 0;
    }
    FUZZ_CHECK(writer.Size() == whole);
    CPackEntry back;
    CPackReader again(writer.Data(), writer.Size());
    back.ReadFrom(again);
    FUZZ_CHECK(again.Position() == writer.Size());
    FUZZ_CHECK(back.m_nSize == written.m_nSize);
    if (IsScramblable(written.m_strName) && IsScramblable(written.m_strFolder)) {
        FUZZ_CHECK(back.m_strName == written.m_strName);
        FUZZ_CHECK(back.m_strFolder == written.m_strFolder);
    }
    return 0;
}
