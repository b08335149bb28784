// Reads an extended dialog template (DLGTEMPLATEEX, what resource compilers
// write for DIALOGEX) from its bytes: the font it asks for and where each
// control lies, in dialog units. Pure: no Windows calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct TemplateItem {
    uint32_t id = 0;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    // Predefined classes by their atom (0x80 button, 0x81 edit, 0x82 static, ...), others by name.
    uint16_t classAtom = 0;
    std::u16string className;
    std::u16string text;
};

struct DialogTemplate {
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::u16string caption;
    int pointSize = 0;
    int weight = 0;
    int charset = 0;
    std::u16string face;
    std::vector<TemplateItem> items;
};

// Nothing for bytes that are not a whole extended template.
std::optional<DialogTemplate> ParseDialogTemplate(const uint8_t* data, size_t size);

}  // namespace e2e
