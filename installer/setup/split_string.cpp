#include "installer/setup/split_string.h"

#include "framework/strings.h"

CSplitString::CSplitString(const std::string& text, char separator) : m_strText(text), m_chSeparator(separator)
{
    if (m_strText.empty() || MbFind(m_strText, separator) == npos) {
        m_strText.clear();
        return;
    }
    if (m_strText.back() != separator)
        m_strText += separator;
    for (size_t at = MbFind(m_strText, separator); at != npos; at = MbFind(m_strText, separator, at + 1))
        ++m_nCount;
}

std::string CSplitString::GetField(int n) const
{
    if (n < 0 || n >= m_nCount)
        return std::string();
    size_t begin = 0;
    for (int i = 0; i < n; ++i)
        begin = MbFind(m_strText, m_chSeparator, begin) + 1;
    size_t end = MbFind(m_strText, m_chSeparator, begin);
    // A text whose last byte was a trail byte equal to the separator got no
    // separator of its own; its last field then runs to the end.
    return m_strText.substr(begin, end == npos ? npos : end - begin);
}

int CSplitString::GetFieldInt(int n) const { return ToInt(GetField(n)); }
