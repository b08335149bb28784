#include "dialog_template.h"

#include "framework/endian.h"

namespace e2e {

namespace {
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool Ok() const { return m_ok; }
    uint16_t U16()
    {
        if (m_at + 2 > m_size) {
            m_ok = false;
            return 0;
        }
        const uint16_t v = LoadLe16(m_data + m_at);
        m_at += 2;
        return v;
    }
    uint32_t U32()
    {
        const uint32_t low = U16();
        return low | static_cast<uint32_t>(U16()) << 16;
    }
    int16_t S16() { return static_cast<int16_t>(U16()); }
    uint8_t U8()
    {
        if (m_at + 1 > m_size) {
            m_ok = false;
            return 0;
        }
        return m_data[m_at++];
    }
    std::u16string String()
    {
        std::u16string s;
        while (m_ok)
            if (const char16_t c = U16())
                s += c;
            else
                break;
        return s;
    }
    // A name or an ordinal: 0 for none, 0xFFFF followed by the ordinal, or a string.
    void NameOrOrdinal(uint16_t& ordinal, std::u16string& name)
    {
        const uint16_t first = U16();
        if (first == 0xFFFF)
            ordinal = U16();
        else if (first != 0) {
            name.assign(1, static_cast<char16_t>(first));
            name.append(String());
        }
    }
    void Skip(size_t n)
    {
        if (m_at + n > m_size)
            m_ok = false;
        else
            m_at += n;
    }
    void AlignTo4() { Skip((4 - m_at % 4) % 4); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
    bool m_ok = true;
};
}  // namespace

std::optional<DialogTemplate> ParseDialogTemplate(const uint8_t* data, size_t size)
{
    constexpr uint32_t kSetFont = 0x40, kShellFont = 0x48;
    Reader r(data, size);
    if (r.U16() != 1 || r.U16() != 0xFFFF)
        return std::nullopt;
    DialogTemplate t;
    r.U32();  // help id
    t.exStyle = r.U32();
    t.style = r.U32();
    const uint16_t count = r.U16();
    t.x = r.S16();
    t.y = r.S16();
    t.cx = r.S16();
    t.cy = r.S16();
    uint16_t ordinal = 0;
    std::u16string name;
    r.NameOrOrdinal(ordinal, name);  // menu
    r.NameOrOrdinal(ordinal, name);  // window class
    t.caption = r.String();
    if (t.style & kSetFont || (t.style & kShellFont) == kShellFont) {
        t.pointSize = r.U16();
        t.weight = r.U16();
        r.U8();  // italic
        t.charset = r.U8();
        t.face = r.String();
    }
    for (uint16_t i = 0; i < count && r.Ok(); ++i) {
        r.AlignTo4();
        TemplateItem item;
        r.U32();  // help id
        item.exStyle = r.U32();
        item.style = r.U32();
        item.x = r.S16();
        item.y = r.S16();
        item.cx = r.S16();
        item.cy = r.S16();
        item.id = r.U32();
        r.NameOrOrdinal(item.classAtom, item.className);
        uint16_t textOrdinal = 0;  // a bitmap's resource id
        r.NameOrOrdinal(textOrdinal, item.text);
        r.Skip(r.U16());           // creation data
        t.items.push_back(item);
    }
    if (!r.Ok())
        return std::nullopt;
    return t;
}

}  // namespace e2e
