#include "tools/pack/gbk.h"

#include <iconv.h>

#include <cerrno>

namespace {
// One conversion descriptor per call; closed on every path.
class CIconv {
public:
    CIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~CIconv()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;

    bool Convert(const std::string& in, std::string& out)
    {
        out.clear();
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            return false;
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buffer[1024];
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t rc = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (rc == static_cast<size_t>(-1) && errno != E2BIG)
                return false;
            // Any character converted "approximately" counts as one GBK lacks.
            if (rc != static_cast<size_t>(-1) && rc > 0)
                return false;
        }
        return true;
    }

private:
    iconv_t m_cd;
};
}  // namespace

bool Utf8ToGbk(const std::string& utf8, std::string& gbk) { return CIconv("GBK", "UTF-8").Convert(utf8, gbk); }

bool GbkToUtf8(const std::string& gbk, std::string& utf8) { return CIconv("UTF-8", "GBK").Convert(gbk, utf8); }
