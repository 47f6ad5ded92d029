#include "Utf8.h"

#include <cstdint>

namespace {

void AppendUtf16(std::u16string& out, uint32_t cp)
{
    if (cp < 0x10000) {
        out += char16_t(cp);
    } else {
        cp -= 0x10000;
        out += char16_t(0xD800 + (cp >> 10));
        out += char16_t(0xDC00 + (cp & 0x3FF));
    }
}

}  // namespace

std::u16string DecodeUtf8(const std::string& s)
{
    std::u16string out;
    size_t i = 0;
    while (i < s.size()) {
        const uint8_t b0 = uint8_t(s[i]);
        if (b0 < 0x80) {
            out += char16_t(b0);
            ++i;
            continue;
        }
        int need;
        uint8_t lo = 0x80, hi = 0xBF;
        uint32_t cp;
        if (b0 >= 0xC2 && b0 <= 0xDF) { need = 1; cp = b0 & 0x1F; }
        else if (b0 == 0xE0) { need = 2; lo = 0xA0; cp = b0 & 0x0F; }
        else if (b0 == 0xED) { need = 2; hi = 0x9F; cp = b0 & 0x0F; }
        else if (b0 >= 0xE1 && b0 <= 0xEF) { need = 2; cp = b0 & 0x0F; }
        else if (b0 == 0xF0) { need = 3; lo = 0x90; cp = b0 & 0x07; }
        else if (b0 == 0xF4) { need = 3; hi = 0x8F; cp = b0 & 0x07; }
        else if (b0 >= 0xF1 && b0 <= 0xF3) { need = 3; cp = b0 & 0x07; }
        else { out += u'\uFFFD'; ++i; continue; }

        size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < need; ++k, ++j) {
            const uint8_t b = j < s.size() ? uint8_t(s[j]) : 0;
            const uint8_t low = k == 0 ? lo : 0x80, high = k == 0 ? hi : 0xBF;
            if (j >= s.size() || b < low || b > high) {
                ok = false;
                break;
            }
            cp = cp << 6 | (b & 0x3F);
        }
        if (ok)
            AppendUtf16(out, cp);
        else
            out += u'\uFFFD';
        i = j;
    }
    return out;
}

std::string EncodeUtf8(const std::u16string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | cp >> 6);
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | cp >> 12);
            out += char(0x80 | (cp >> 6 & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | cp >> 18);
            out += char(0x80 | (cp >> 12 & 0x3F));
            out += char(0x80 | (cp >> 6 & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}
