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
//
// Exit status: 0 when at least one profile loaded and every line was answered (profiles that did
// not load are named on standard error); 1 when none loaded, on a read or write error; 2 on a usage
// error.
#include "LangIdentifier.h"
#include "LanguageTable.h"
#include "NgramTable.h"
#include "ProfileCatalogue.h"
#include "Utf8.h"
#include "Verdict.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

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

// The answer line (without its LF) for one raw input line.
std::string Answer(CProfileCatalogue& catalogue, Mode mode, const std::string& line)
{
    CLangIdentifier& identifier = catalogue.Identifier();
    const std::u16string text = DecodeUtf8(Unescape(line));
    const LangScore* results = identifier.Identify(text.c_str());
    std::u16string verdict;
    const bool named = FormatVerdict(results, identifier.GetProfileCount(), verdict);
    if (mode == Mode::Best) {
        const char16_t* best = u"UNKNOWN";
        for (int i = 0; named && i < identifier.GetProfileCount(); ++i)
            if (identifier.GetProfile(i)->m_displayName == results[0].name)
                best = LanguageTable[catalogue.LanguageOf(i)].resourceName;
        return EncodeUtf8(best);
    }
    std::string out = EncodeUtf8(verdict);
    for (int i = 0; mode == Mode::Scores && results != nullptr && i < identifier.GetProfileCount(); ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "%.17g", results[i].score);
        out += '\t' + EncodeUtf8(results[i].name) + '=' + number;
    }
    return out;
}

// Standard output with every write checked, the last flush and the close included.
class COutput
{
public:
    // False once any write has failed.
    bool Write(const std::string& bytes)
    {
        if (!m_failed && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
            Fail();
        return !m_failed;
    }

    bool Close()
    {
        if (!m_failed && std::fflush(stdout) != 0)
            Fail();
        if (std::fclose(stdout) != 0 && !m_failed)
            Fail();
        return !m_failed;
    }

private:
    void Fail()
    {
        std::fprintf(stderr, "tm-identify: cannot write the answers: %s\n", std::strerror(errno));
        m_failed = true;
    }

    bool m_failed = false;
};

bool ReadAll(std::FILE* in, std::string& input)
{
    char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
        input.append(chunk, n);
    if (std::ferror(in)) {
        std::fprintf(stderr, "tm-identify: cannot read standard input: %s\n", std::strerror(errno));
        return false;
    }
    return true;
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
    bool dirGiven = false;
    Mode mode = Mode::Verdict;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--profiles" && i + 1 < argc && !dirGiven) {
            dir = argv[++i];
            dirGiven = true;
        } else if ((arg == "--best" || arg == "--scores") && mode == Mode::Verdict) {
            mode = arg == "--best" ? Mode::Best : Mode::Scores;
        } else {
            return Usage();
        }
    }

    CProfileCatalogue catalogue;
    const bool loaded = catalogue.Load(dir);
    const std::string failures = DescribeFailures(catalogue.Failures());
    if (!loaded) {
        std::fprintf(stderr, "tm-identify: no profile loaded from %s (%s)\n", dir.c_str(), failures.c_str());
        return 1;
    }
    if (!failures.empty())
        std::fprintf(stderr, "tm-identify: not loaded from %s: %s\n", dir.c_str(), failures.c_str());

    std::string input;
    if (!ReadAll(stdin, input))
        return 1;
    if (input.compare(0, 3, "\xEF\xBB\xBF") == 0)
        input.erase(0, 3);

    COutput output;
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
        out += Answer(catalogue, mode, input.substr(start, stop - start));
        out += '\n';
        start = end + 1;
        if (out.size() > (1 << 16)) {
            if (!output.Write(out))
                break;
            out.clear();
        }
    }
    output.Write(out);
    return output.Close() ? 0 : 1;
}
