// Splits a text into fields that are each terminated by one separator
// character: "A|B" and "A|B|" both hold two fields, a text without any
// separator holds none.
#pragma once

#include <string>

class CSplitString {
public:
    CSplitString(const std::string& text, char separator);

    int FieldCount() const { return m_nCount; }
    // "" when n is outside 0 .. count - 1.
    std::string GetField(int n) const;
    // The field by the decimal conversion; "" gives 0.
    int GetFieldInt(int n) const;

private:
    std::string m_strText;
    int m_nCount = 0;
    char m_chSeparator;
};
