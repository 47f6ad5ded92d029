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
#include "Utf8.h"
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
