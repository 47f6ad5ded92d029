// tm-identify: identifies each line of UTF-8 text from standard input with the built-in profiles.
//
//   tm-identify [--profiles DIR] [--best | --scores]
//
// One text per input line (LF; a CR before the LF is dropped; a last line without LF counts; a BOM
// at the very start is dropped). Inside a line \n, \r, \t and \\ stand for line feed, carriage
// return, tab and backslash; any other backslash stays. Invalid UTF-8 becomes U+FFFD per maximal
// subpart. A NUL byte ends the line's text. One output line per input line:
//   default   the verdict exactly as the result label shows it
//   --best    the resource name of the best-ranked language, or UNKNOWN for "判定不能"
//   --scores  the verdict, then a tab and displayName=score (%.17g) for every ranked record
#include "LangIdentifier.h"
#include "LanguageTable.h"
#include "NgramTable.h"
#include "Verdict.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef TM_PROFILE_DIR
#define TM_PROFILE_DIR "res/profiles"
#endif

namespace {

enum class Mode { Verdict, Best, Scores };

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

// Decodes UTF-8; each maximal subpart of an ill-formed sequence becomes one U+FFFD.
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

// Resolves the escapes of one raw line; NUL ends the text.
std::string Unescape(const std::string& line)
{
    std::string out;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\0')
            break;
        if (c == '\\' && i + 1 < line.size()) {
            const char next = line[i + 1];
            const char* from = "nrt\\";
            const char* to = "\n\r\t\\";
            const char* hit = next != '\0' ? std::strchr(from, next) : nullptr;
            if (hit != nullptr) {
                out += to[hit - from];
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

bool ReadFile(const std::string& path, std::vector<char>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int Usage()
{
    std::fprintf(stderr, "usage: tm-identify [--profiles DIR] [--best | --scores] < text\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string dir = TM_PROFILE_DIR;
    Mode mode = Mode::Verdict;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--profiles" && i + 1 < argc)
            dir = argv[++i];
        else if (arg == "--best")
            mode = Mode::Best;
        else if (arg == "--scores")
            mode = Mode::Scores;
        else
            return Usage();
    }

    CLangIdentifier identifier;
    std::vector<const LanguageRow*> loadedRows;  // the row of every loaded profile, in load order
    std::string failed;
    for (const LanguageRow& row : LanguageTable) {
        const std::string name = EncodeUtf8(row.resourceName);
        std::vector<char> blob;
        if (ReadFile(dir + "/" + name + ".bin", blob) &&
            identifier.LoadProfile(row.displayName, blob.data(), blob.size()))
            loadedRows.push_back(&row);
        else
            failed += (failed.empty() ? "" : " ") + name;
    }
    identifier.BuildIndex();
    if (!failed.empty())
        std::fprintf(stderr, "tm-identify: not loaded from %s: %s\n", dir.c_str(), failed.c_str());

    std::string input;
    char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0;)
        input.append(chunk, n);
    if (std::ferror(stdin)) {
        std::fprintf(stderr, "tm-identify: cannot read standard input\n");
        return 1;
    }
    if (input.compare(0, 3, "\xEF\xBB\xBF") == 0)
        input.erase(0, 3);

    std::string out;
    size_t start = 0;
    while (start < input.size()) {
        size_t end = input.find('\n', start);
        const bool lastWithoutLf = end == std::string::npos;
        if (lastWithoutLf)
            end = input.size();
        size_t stop = end;
        if (!lastWithoutLf && stop > start && input[stop - 1] == '\r')
            --stop;
        const std::u16string text = DecodeUtf8(Unescape(input.substr(start, stop - start)));
        start = end + 1;

        const LangScore* results = identifier.Identify(text.c_str());
        std::u16string verdict;
        const bool named = FormatVerdict(results, identifier.GetProfileCount(), verdict);
        if (mode == Mode::Best) {
            const char16_t* best = u"UNKNOWN";
            for (int i = 0; named && i < identifier.GetProfileCount(); ++i)
                if (identifier.GetProfile(i)->m_displayName == results[0].name)
                    best = loadedRows[size_t(i)]->resourceName;
            out += EncodeUtf8(best);
        } else {
            out += EncodeUtf8(verdict);
            for (int i = 0; mode == Mode::Scores && results != nullptr && i < identifier.GetProfileCount(); ++i) {
                char number[32];
                std::snprintf(number, sizeof number, "%.17g", results[i].score);
                out += '\t' + EncodeUtf8(results[i].name) + '=' + number;
            }
        }
        out += '\n';
        if (out.size() > (1 << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
