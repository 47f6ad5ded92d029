// tm-identify: identifies text with the built-in profiles, each line of standard input or each named
// file as one text.
//
//   tm-identify [--profiles DIR] [--best | --scores | --sections] [--line-buffered] [--jobs N]
//               [--] [FILE...]
//
// Line mode (no FILE): one text per input line, answered as soon as its LF is read (a CR before the
// LF is dropped; a last line without LF counts; a BOM at the very start is dropped). Inside a line
// \n, \r, \t and \\ stand for line feed, carriage return, tab and backslash; any other backslash
// stays. Memory holds the longest line, not the whole input.
//
// File mode: each FILE is one text, answered as FILE, a tab and the answer. A file is UTF-16 LE or
// BE when it starts with that byte-order mark (an odd last byte becomes U+FFFD), otherwise UTF-8 (a
// BOM dropped); no escapes, its line breaks are part of the text. "-" is standard input. A file that
// cannot be read, is not a regular file (a FIFO would wait for a writer) or holds more than
// kMaxFileBytes gets a message and no answer; the others are still answered.
//
// In both modes invalid UTF-8 becomes U+FFFD per maximal subpart and a NUL ends the text. One answer
// per text:
//   default   the verdict exactly as the result label shows it
//   --best    the resource name of the best-ranked language, or UNKNOWN for "判定不能"
//   --scores  the verdict, then a tab and displayName=score (%.17g) for every ranked record
//   --sections  the runs of the text in one language each (FindLanguageRuns): START, END (UTF-16
//             units of the text, END exclusive) and the resource name or UNKNOWN, tab-separated. A
//             file gets one line FILE<TAB>START<TAB>END<TAB>NAME per run; a line gets one answer
//             line with the triples of its runs one after the other, separated by tabs. An empty
//             text is one run 0 0 UNKNOWN.
// The answers so far are flushed whenever the tool is about to wait for input, and with
// --line-buffered after every answer, so the tool can serve as a filter or a co-process.
//
// --jobs N (default: the cores) answers the texts in hand on N threads sharing one index, in input
// order; the answers are the same bytes for every N.
//
// A line, like a file, may hold at most 64 MiB: a longer line is answered as "判定不能" (UNKNOWN with
// --best) after a message, and the lines after it still are.
//
// Exit status: 0 when at least one profile loaded and every text was answered (profiles that did not
// load are named on standard error); 1 when none loaded or the profile folder was refused, on a read
// or write error, when a file was not answered or a line was too long; 2 on a usage error (an
// empty --profiles among them).
#include "LangIdentifier.h"
#include "LanguageTable.h"
#include "NgramTable.h"
#include "ProfileFolder.h"
#include "Sections.h"
#include "TextFile.h"
#include "Utf8.h"
#include "Verdict.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#ifndef TM_PROFILE_DIR
#define TM_PROFILE_DIR "res/profiles"
#endif

namespace {

// --sections answers a line with its runs on one line, a file with a line per run.
enum class Mode { Verdict, Best, Scores, RunsOnOneLine, RunsOnLines };

// A larger file is refused rather than cut short: identifying 64 MiB of text already takes seconds
// and several hundred MB, and a 32-bit build has little more to give.
constexpr size_t kMaxFileBytes = size_t(64) << 20;
// A line is held whole before it is answered, so it is capped the same way: a longer one is
// skipped to its end and answered as a text that cannot be identified.
constexpr size_t kMaxLineBytes = kMaxFileBytes;
// More threads than this would only wait on memory.
constexpr int kMaxJobs = 64;

const char kBom[] = "\xEF\xBB\xBF";

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

// The runs of a text, each as START<TAB>END<TAB>NAME, separated by tabs or line feeds. The
// identifier's index must be built.
std::string Runs(const CProfileCatalogue& catalogue, Mode mode, const std::u16string& text)
{
    std::vector<LanguageRun> runs = FindLanguageRuns(catalogue.Identifier(), text.c_str(), text.size());
    if (runs.empty())
        runs.push_back(LanguageRun{0, 0, kUnknownLanguage});
    std::string out;
    for (const LanguageRun& run : runs) {
        if (!out.empty())
            out += mode == Mode::RunsOnLines ? '\n' : '\t';
        const char16_t* name = run.profile == kUnknownLanguage
                                   ? u"UNKNOWN"
                                   : LanguageTable[catalogue.LanguageOf(run.profile)].resourceName;
        out += std::to_string(run.start) + '\t' + std::to_string(run.end) + '\t' + EncodeUtf8(name);
    }
    return out;
}

// `answer` with `prefix` before each of its lines.
std::string Prefixed(const std::string& prefix, const std::string& answer)
{
    std::string out = prefix;
    for (char c : answer)
        out += c == '\n' ? '\n' + prefix : std::string(1, c);
    return out;
}

// What one thread needs to answer texts: its own records and scratch, so that threads can share
// one identifier.
struct CScratch
{
    std::vector<LangScore> records;
    std::vector<double> sums;
    std::u16string verdict;
};

// The answer (without its LF) for one text, which ends at its first NUL. The identifier's index must
// be built. With `chunked`, a long text is found on several threads.
std::string Answer(const CProfileCatalogue& catalogue, Mode mode, const std::u16string& text, CScratch& scratch,
                   const ChunkedScoring& chunked = {})
{
    if (mode == Mode::RunsOnOneLine || mode == Mode::RunsOnLines)
        return Runs(catalogue, mode, text);
    const CLangIdentifier& identifier = catalogue.Identifier();
    const LangScore* results = identifier.IdentifyInto(text.c_str(), scratch.records, scratch.sums, chunked);
    const bool named = FormatVerdict(results, identifier.GetProfileCount(), scratch.verdict);
    if (mode == Mode::Best) {
        return named ? EncodeUtf8(LanguageTable[catalogue.LanguageOf(results[0].profile)].resourceName)
                     : "UNKNOWN";
    }
    std::string out = EncodeUtf8(scratch.verdict);
    for (int i = 0; mode == Mode::Scores && results != nullptr && i < identifier.GetProfileCount(); ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "%.17g", results[i].score);
        out += '\t' + EncodeUtf8(results[i].name) + '=' + number;
    }
    return out;
}

// A batch of texts answered on several threads, the answers kept in input order. A batch with
// fewer texts of kLongUnits units or more than threads answers them last, one at a time, each found
// in chunks on every thread; otherwise each text is one thread's work. Memory holds the batch and
// one scratch a thread.
class CBatchScorer
{
public:
    CBatchScorer(CProfileCatalogue& catalogue, Mode mode, int jobs)
        : m_catalogue(catalogue), m_mode(mode), m_jobs(jobs), m_scratch(size_t(jobs))
    {
    }

    struct Item
    {
        std::u16string text;
        std::string answer;
        bool outOfMemory = false;
    };

    // Answers every item of the batch, or marks it out of memory.
    void AnswerAll(std::vector<Item>& items)
    {
        if (!m_indexBuilt) {
            // Built at the first text, so that a run on empty input costs only the load.
            m_catalogue.Identifier().BuildIndex();
            m_indexBuilt = true;
        }
        size_t longTexts = 0;
        for (const Item& item : items)
            longTexts += item.text.size() >= kLongUnits ? 1 : 0;
        const bool chunks = m_jobs > 1 && longTexts < size_t(m_jobs);
        auto alone = [chunks](const Item& item) { return chunks && item.text.size() >= kLongUnits; };

        std::atomic<size_t> next(0);
        auto work = [&](size_t thread) {
            for (size_t i; (i = next++) < items.size();)
                if (!alone(items[i]))
                    AnswerOne(items[i], m_scratch[thread], ChunkedScoring());
        };
        std::vector<std::thread> threads;
        for (size_t t = 1; t < size_t(m_jobs) && t < items.size() - longTexts * chunks; ++t)
            threads.emplace_back(work, t);
        work(0);
        for (std::thread& thread : threads)
            thread.join();
        for (Item& item : items)
            if (alone(item))
                AnswerOne(item, m_scratch[0], ChunkedScoring{m_jobs, ChunkedScoring().chunkUnits, 0});
    }

private:
    // A text this long is worth several threads on its own.
    static constexpr size_t kLongUnits = 100000;

    void AnswerOne(Item& item, CScratch& scratch, const ChunkedScoring& chunked)
    {
        try {
            item.answer = ::Answer(m_catalogue, m_mode, item.text, scratch, chunked);
        } catch (const std::bad_alloc&) {
            item.outOfMemory = true;
        }
        item.text = std::u16string();
    }

    CProfileCatalogue& m_catalogue;
    const Mode m_mode;
    const int m_jobs;
    std::vector<CScratch> m_scratch;  // one per thread
    bool m_indexBuilt = false;
};

// Standard output with every write checked, the flushes and the close included. Each call returns
// false once any write has failed.
class COutput
{
public:
    // Writes one answer and its LF; flushed at once if `flush`.
    bool WriteLine(const std::string& line, bool flush)
    {
        if (!m_failed && (std::fwrite(line.data(), 1, line.size(), stdout) != line.size()
                          || std::fputc('\n', stdout) == EOF))
            Fail();
        if (!m_failed && flush && std::fflush(stdout) != 0)
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

// One read from standard input: what is there (at least one byte), not as much as fits. 0 at the end
// of the input, -1 on an error.
long ReadSome(char* buffer, size_t size)
{
#ifdef _WIN32
    return _read(0, buffer, unsigned(size));
#else
    ssize_t n;
    do
        n = read(0, buffer, size);
    while (n < 0 && errno == EINTR);
    return long(n);
#endif
}

// Standard input line by line. It never waits for more than the line it returns, and holds one read
// and the current line.
class CLineReader
{
public:
    // The next line, without its LF. False at the end of the input, with a last line that had no LF
    // (possibly empty) in `line`, and on a read error, after a message. A line of more than
    // kMaxLineBytes is read to its end but not kept: `line` is then empty and TooLong true.
    bool Next(std::string& line)
    {
        line.clear();
        m_tooLong = false;
        for (;;) {
            const char* start = m_buffer.data() + m_begin;
            const size_t available = m_end - m_begin;
            if (const void* lf = std::memchr(start, '\n', available)) {
                const size_t length = size_t(static_cast<const char*>(lf) - start);
                Keep(start, length, line);
                m_begin += length + 1;
                return true;
            }
            Keep(start, available, line);
            m_begin = m_end = 0;
            const long n = ReadSome(m_buffer.data(), m_buffer.size());
            if (n <= 0) {
                m_failed = n < 0;
                if (m_failed)
                    std::fprintf(stderr, "tm-identify: cannot read standard input: %s\n",
                                 std::strerror(errno));
                return false;
            }
            m_end = size_t(n);
        }
    }

    bool TooLong() const { return m_tooLong; }
    bool Failed() const { return m_failed; }

    // Whether the next line is already in hand, so that Next will not wait for input.
    bool HasLine() const
    {
        return std::memchr(m_buffer.data() + m_begin, '\n', m_end - m_begin) != nullptr;
    }

private:
    // Appends to the line unless that makes it too long; a line too long keeps nothing.
    void Keep(const char* start, size_t n, std::string& line)
    {
        if (!m_tooLong && n > kMaxLineBytes - line.size()) {
            m_tooLong = true;
            std::string().swap(line);
        }
        if (!m_tooLong)
            line.append(start, n);
    }

    std::vector<char> m_buffer = std::vector<char>(size_t(1) << 16);
    size_t m_begin = 0;
    size_t m_end = 0;
    bool m_failed = false;
    bool m_tooLong = false;
};

// Line mode: answers every line of standard input as it arrives. The lines already read when the
// first of them is taken (up to kBatchLines and kBatchUnits) are answered together on the scorer's
// threads; the answers are written in input order and flushed whenever the tool is about to wait for
// more input, so a terminal, a pipeline or a co-process has each one in time, while lines that
// arrive together cost one write. `flushEach` flushes after every answer, and keeps batches to one
// line a thread. A line over kMaxLineBytes is answered as a text that cannot be identified, after a
// message, so that the answers stay in step with the lines. False on a read or write error or after
// such a line.
bool IdentifyLines(CBatchScorer& scorer, bool flushEach, int jobs, COutput& output)
{
    const size_t kBatchLines = flushEach ? size_t(jobs) : 4096;
    const size_t kBatchUnits = size_t(4) << 20;
    CLineReader reader;
    std::string line;
    std::vector<CBatchScorer::Item> batch;
    bool allIdentified = true;
    bool more = true;
    for (size_t number = 1; more;) {
        batch.clear();
        size_t units = 0;
        do {
            const bool ended = reader.Next(line);
            if (number == 1 && line.compare(0, 3, kBom) == 0)
                line.erase(0, 3);
            if (!ended && (reader.Failed() || (line.empty() && !reader.TooLong()))) {
                more = false;
                allIdentified = allIdentified && !reader.Failed();
                break;
            }
            if (ended && !line.empty() && line.back() == '\r')
                line.pop_back();
            if (reader.TooLong()) {
                std::fprintf(stderr, "tm-identify: line %zu: too long (over %u MiB), not identified\n", number,
                             unsigned(kMaxLineBytes >> 20));
                allIdentified = false;
            }
            batch.push_back({DecodeUtf8(Unescape(line)), {}, false});
            units += batch.back().text.size();
            ++number;
            more = ended;
        } while (more && reader.HasLine() && batch.size() < kBatchLines && units < kBatchUnits);

        scorer.AnswerAll(batch);
        for (size_t i = 0; i < batch.size(); ++i) {
            if (batch[i].outOfMemory)
                throw std::bad_alloc();
            const bool last = i + 1 == batch.size();
            if (!output.WriteLine(batch[i].answer, flushEach || (last && !reader.HasLine())))
                return false;
        }
    }
    return allIdentified;
}

// Reads a whole file, or standard input for "-", into `bytes`. False after a message when it cannot
// be read, is not a regular file (a FIFO would wait for a writer for ever) or holds more than
// kMaxFileBytes.
bool ReadFile(const std::string& name, std::string& bytes)
{
    const FileRead result = name == "-" ? ReadToEnd(0, kMaxFileBytes, bytes)
                                        : ReadWholeFile(name, kMaxFileBytes, bytes);
    switch (result) {
    case FileRead::Read:
        return true;
    case FileRead::Folder:
        std::fprintf(stderr, "tm-identify: cannot read %s: %s\n", name.c_str(), std::strerror(EISDIR));
        break;
    case FileRead::NotRegular:
        std::fprintf(stderr, "tm-identify: cannot read %s: not a regular file\n", name.c_str());
        break;
    case FileRead::Unreadable:
        std::fprintf(stderr, "tm-identify: cannot read %s: %s\n", name.c_str(), std::strerror(errno));
        break;
    case FileRead::TooLarge:
        std::fprintf(stderr, "tm-identify: cannot read %s: too large (over %u MiB)\n", name.c_str(),
                     unsigned(kMaxFileBytes >> 20));
        break;
    }
    return false;
}

// File mode: answers each file as one text. Up to `jobs` files are read, in order, then answered
// together on the scorer's threads, and their answers written in order and flushed before the next
// files are read. False when a file was left unanswered (the others are still answered) or an answer
// could not be written (the end).
bool IdentifyFiles(CBatchScorer& scorer, int jobs, const std::vector<std::string>& names, COutput& output)
{
    bool allAnswered = true;
    std::vector<CBatchScorer::Item> batch;
    std::vector<const std::string*> batchNames;
    for (size_t next = 0; next < names.size();) {
        batch.clear();
        batchNames.clear();
        for (; next < names.size() && batch.size() < size_t(jobs); ++next) {
            const std::string& name = names[next];
            try {
                std::string bytes;
                if (!ReadFile(name, bytes)) {
                    allAnswered = false;
                    continue;
                }
                batch.push_back({DecodeTextFile(bytes), {}, false});
                batchNames.push_back(&name);
            } catch (const std::bad_alloc&) {
                std::fprintf(stderr, "tm-identify: cannot identify %s: out of memory\n", name.c_str());
                allAnswered = false;
            }
        }
        scorer.AnswerAll(batch);
        for (size_t i = 0; i < batch.size(); ++i) {
            if (batch[i].outOfMemory) {
                std::fprintf(stderr, "tm-identify: cannot identify %s: out of memory\n", batchNames[i]->c_str());
                allAnswered = false;
                continue;
            }
            if (!output.WriteLine(Prefixed(*batchNames[i] + '\t', batch[i].answer), true))
                return false;
        }
    }
    return allAnswered;
}

int Usage()
{
    std::fprintf(stderr, "usage: tm-identify [--profiles DIR] [--best | --scores | --sections] "
                         "[--line-buffered] [--jobs N (1-%d)] [--] [FILE...]\n", kMaxJobs);
    return 2;
}

// One thread a core, as many as the machine says it has.
int DefaultJobs()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return int(std::min(unsigned(kMaxJobs), std::max(1u, cores)));
}

// A whole decimal number of threads within 1 .. kMaxJobs.
bool ParseJobs(const char* text, int& jobs)
{
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || errno != 0 || n < 1 || n > kMaxJobs)
        return false;
    jobs = int(n);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string dir = TM_PROFILE_DIR;
    bool dirGiven = false;
    bool lineBuffered = false;
    bool optionsEnded = false;
    int jobs = DefaultJobs();
    bool jobsGiven = false;
    Mode mode = Mode::Verdict;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--profiles" && i + 1 < argc && !dirGiven && argv[i + 1][0] != 0) {
            dir = argv[++i];
            dirGiven = true;
        } else if ((arg == "--best" || arg == "--scores") && mode == Mode::Verdict) {
            mode = arg == "--best" ? Mode::Best : Mode::Scores;
        } else if (arg == "--sections" && mode == Mode::Verdict) {
            mode = Mode::RunsOnOneLine;
        } else if (arg == "--line-buffered" && !lineBuffered) {
            lineBuffered = true;
        } else if (arg == "--jobs" && i + 1 < argc && !jobsGiven) {
            if (!ParseJobs(argv[++i], jobs))
                return Usage();
            jobsGiven = true;
        } else {
            return Usage();
        }
    }
    if (mode == Mode::RunsOnOneLine && !files.empty())
        mode = Mode::RunsOnLines;
#ifdef _WIN32
    // Byte-order marks, CRs and UTF-16 are read as they are, not as a text-mode stream.
    _setmode(_fileno(stdin), _O_BINARY);
#endif

    CProfileCatalogue catalogue;
    const bool loaded = catalogue.Load(dir);
    if (!catalogue.FolderProblem().empty()) {
        std::fprintf(stderr, "tm-identify: cannot load profiles from %s: %s\n", dir.c_str(),
                     catalogue.FolderProblem().c_str());
        return 1;
    }
    const std::string failures = DescribeFailures(catalogue.Failures());
    if (!loaded) {
        std::fprintf(stderr, "tm-identify: no profile loaded from %s (%s)\n", dir.c_str(), failures.c_str());
        return 1;
    }
    if (!failures.empty())
        std::fprintf(stderr, "tm-identify: not loaded from %s: %s\n", dir.c_str(), failures.c_str());

    COutput output;
    bool done = false;
    try {
        CBatchScorer scorer(catalogue, mode, jobs);
        done = files.empty() ? IdentifyLines(scorer, lineBuffered, jobs, output)
                             : IdentifyFiles(scorer, jobs, files, output);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tm-identify: out of memory\n");
    }
    const bool closed = output.Close();
    return done && closed ? 0 : 1;
}
