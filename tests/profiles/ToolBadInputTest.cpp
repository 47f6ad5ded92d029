// tm-build-profiles and tm-evaluate given bad input, run on a small corpus in a folder of their own: a
// clear message, the documented exit status, and nothing lost or half-written.
#include "LanguageTable.h"
#include "ProfileBuilder.h"
#include "ProfileFolder.h"
#include "SmallCorpus.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// The files of a folder by name, with their bytes (folders in it left out).
std::map<std::string, std::string> Contents(const fs::path& dir)
{
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file())
            files[entry.path().filename().string()] = ReadText(entry.path());
    return files;
}

struct ToolRun
{
    int status;  // exit status, or -1 when the tool did not exit normally
    std::string out, err;
};

// Runs a shell command line in `dir` with its output and errors captured.
ToolRun RunIn(const fs::path& dir, const std::string& command)
{
    const int raw = std::system(("cd '" + dir.string() + "' && { " + command + " ; } > out.txt 2> err.txt").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(dir / "out.txt"), ReadText(dir / "err.txt")};
}

const std::string kBuild = TM_BUILD_PROFILES_TOOL;
const std::string kEvaluate = TM_EVALUATE_TOOL;
const std::string kIdentify = TM_IDENTIFY_TOOL;

using Setup = std::function<void(const fs::path&)>;

// How a case spoils the fixture: `name` a folder, gone, a file of `text`, a loop of links, or a
// sparse file of `bytes` (which takes no room on the disk).
Setup FolderInstead(const std::string& name)
{
    return [name](const fs::path& root) { fs::remove(root / name); fs::create_directories(root / name); };
}
Setup Without(const std::string& name)
{
    return [name](const fs::path& root) { fs::remove(root / name); };
}
Setup WithText(const std::string& name, const std::string& text)
{
    return [name, text](const fs::path& root) { WriteText(root / name, text); };
}
Setup LinkLoop(const std::string& name)
{
    return [name](const fs::path& root) {
        fs::remove(root / name);
        fs::create_symlink(fs::path(name).filename(), root / name);
    };
}
Setup SizedFile(const std::string& name, uintmax_t bytes)
{
    return [name, bytes](const fs::path& root) { fs::resize_file(root / name, bytes); };
}

// One bad input: what it is, how the fixture is spoilt for it, the tool's arguments (a command line
// of its own when it names the tool), the exit status and message expected.
struct BadInput
{
    const char* what;
    Setup setup;
    std::string arguments;
    int status;
    const char* message;
};

// A folder with the small corpus in corpus/, a running-text corpus in running/ (English only, one
// empty file, the rest missing) and an old set of profiles, corpus list and index in out/.
class ToolBadInput : public testing::Test
{
protected:
    void SetUp() override
    {
        fs::remove_all(m_root);
        WriteSmallCorpus((m_root / "corpus").string());
        fs::create_directories(m_root / "running");
        WriteText(m_root / "running/ENGLISH.txt", "running text in english\nmore of it\n");
        WriteText(m_root / "running/WELSH.txt", "");
        fs::create_directories(m_root / "out");
        for (int language = 0; language < kLanguageCount; ++language)
            WriteText(m_root / "out" / (ResourceName(language) + ".bin"), "old " + ResourceName(language));
        WriteText(m_root / "out" / kCorpusDigestName, "old list");
    }

    void TearDown() override { fs::remove_all(m_root); }

    // Runs one case on a fresh fixture and checks the exit status and the message.
    ToolRun RunCase(const std::string& tool, const BadInput& c)
    {
        SetUp();
        if (c.setup)
            c.setup(m_root);
        m_old = Contents(m_root / "out");
        const bool ownLine = c.arguments.find(tool) != std::string::npos;
        const ToolRun run = RunIn(m_root, ownLine ? c.arguments : tool + " " + c.arguments);
        EXPECT_EQ(run.status, c.status) << "stderr: " << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << "stderr \"" << run.err << "\" lacks \"" << c.message << '"';
        return run;
    }

    // The old set is whole: every old file as it was, and no other file in the folder.
    void ExpectOldSetWhole() const { EXPECT_TRUE(Contents(m_root / "out") == m_old) << "the old set is not whole"; }

    // One folder per process, so that runs side by side (other checkouts on one machine) never meet.
    fs::path m_root = fs::path(testing::TempDir()) / ("tm_tool_bad_input." + std::to_string(::getpid()));
    std::map<std::string, std::string> m_old;  // the files in out/ when a case starts
};

TEST_F(ToolBadInput, BuildProfiles)
{
    // The fixture itself builds: an empty and a missing file in the running-text corpus are normal.
    // What a build killed before its journal left behind goes.
    const std::vector<std::string> leftovers = {".ENGLISH.bin.new", ".WELSH.bin.old", ".replace-journal.new"};
    for (const std::string& name : leftovers)
        WriteText(m_root / "out" / name, "left by a killed build");
    const ToolRun good = RunIn(m_root, kBuild + " corpus running --out out --threads 2");
    EXPECT_EQ(good.status, 0) << good.err;
    for (const std::string& name : leftovers)
        EXPECT_FALSE(fs::exists(m_root / "out" / name)) << name;
    EXPECT_NE(ReadText(m_root / "out/ENGLISH.bin"), "old ENGLISH");
    const std::string digest = ReadText(m_root / "out" / kCorpusDigestName);
    EXPECT_NE(digest.find("running/WELSH.txt\t0\t"), std::string::npos) << digest;
    const ToolRun help = RunIn(m_root, kBuild + " --help");
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(help.out.rfind("usage: tm-build-profiles", 0), 0u) << help.out;

    const std::string digestAside = "out/." + std::string(kCorpusDigestName) + ".old/x";
    const BadInput cases[] = {
        {"a corpus file that is a folder", FolderInstead("corpus/DANISH.txt"), "corpus --out out", 1,
         "DANISH.txt: not a regular file"},
        {"a running-text file that is a folder", FolderInstead("running/GREEK.txt"),
         "corpus running --out out", 1, "GREEK.txt: not a regular file"},
        {"an empty file in the first corpus", WithText("corpus/AFRIKAANS.txt", ""), "corpus --out out", 1,
         "no training text for AFRIKAANS"},
        {"a file missing from the first corpus", Without("corpus/WELSH.txt"), "corpus --out out", 1,
         "WELSH.txt: missing"},
        {"a corpus folder that does not exist", nullptr, "corpus nowhere --out out", 1, "nowhere not found"},
        {"a corpus folder that is a file", WithText("afile", "x"), "afile --out out", 1, "afile is not a folder"},
        {"a corpus file that is a loop of links", LinkLoop("corpus/DANISH.txt"), "corpus --out out", 1,
         "DANISH.txt: unreadable: Too many levels of symbolic links"},
        {"a corpus file over the limit", SizedFile("corpus/DANISH.txt", (uintmax_t(64) << 20) + 1),
         "corpus --out out", 1, "DANISH.txt: too large (over 64 MiB)"},
        {"a corpus file of tabs only", WithText("corpus/WELSH.txt", "\t\t\n\t\n"), "corpus --out out", 1,
         "the profile built for WELSH is refused by the reader: no n-gram of its training text was kept "
         "(built from corpus/WELSH.txt)"},
        {"a --share name that is no language", nullptr, "corpus --out out --share KLINGON=1", 2,
         "--share: KLINGON is not a language's resource name"},
        {"an output name that is a folder", FolderInstead("out/WELSH.bin"), "corpus --out out", 1,
         "WELSH.bin exists and is not a regular file"},
        {"a rename that fails last: all 42 others are put back", FolderInstead(digestAside),
         "corpus --out out", 1, "cannot rename out/corpus-digest.txt to out/.corpus-digest.txt.old"},
        {"a file size limit reached while writing", nullptr,
         "ulimit -f 1; " + kBuild + " corpus --out out", 1, "cannot write"},
        // The lock a running builder holds on its folder, held by flock(1) for the second one.
        {"a builder already on the folder", nullptr, "flock out " + kBuild + " corpus --out out", 1,
         "another tm-build-profiles is writing out; nothing was written"},
        {"--slot-factor nan", nullptr, "corpus --out out --slot-factor nan", 2, "--slot-factor wants"},
        {"--threads 100000", nullptr, "corpus --out out --threads 100000", 2, "--threads wants"},
        {"a malformed number", nullptr, "corpus --out out --keys 12x", 2, "--keys wants"},
        // A missing corpus file as well: were the guard to fail, the tool would stop before writing.
        {"a recipe option without --out", Without("corpus/WELSH.txt"), "corpus --keys 1000", 2,
         "a recipe option: give --out"},
        {"other corpus folders without --out", Without("corpus/WELSH.txt"), "corpus", 2,
         "other corpus folders: give --out"},
    };
    for (const BadInput& c : cases) {
        SCOPED_TRACE(c.what);
        RunCase(kBuild, c);
        ExpectOldSetWhole();
    }
}

TEST_F(ToolBadInput, Evaluate)
{
    const BadInput cases[] = {
        {"a folder as the labelled file", nullptr, "corpus", 1, "corpus: not a regular file"},
        {"a second file missing: nothing scored", WithText("good.tsv", "ENGLISH\tqwert qwert common words\n"),
         "good.tsv missing.tsv", 1, "missing.tsv: missing"},
        {"a label that only looks like a resource name",
         WithText("odd.tsv", "\xC5\x85NGLISH\tHello world, how are you\n"), "odd.tsv", 1, "unknown language"},
        {"--dev-set with a folder that holds no corpus file", nullptr, "--dev-set out", 1,
         "holds no corpus file"},
        {"--dev-set with a corpus file that is a folder", FolderInstead("corpus/WELSH.txt"), "--dev-set corpus",
         1, "WELSH.txt: not a regular file"},
        {"--threads 100000", nullptr, "--threads 100000 corpus/ENGLISH.txt", 2, "--threads wants"},
        {"a malformed number", nullptr, "--per-language 5x --dev-set corpus", 2, "--per-language wants"},
        {"output that cannot be written", nullptr, "--dev-set corpus > /dev/full", 1, "cannot write"},
        {"standard input closed", nullptr, "- <&-", 1, "cannot read standard input"},
        {"standard input a folder", nullptr, "- < corpus", 1, "cannot read standard input: Is a directory"},
        {"a file without a labelled line", WithText("plain.txt", "just text\n\n"), "plain.txt", 1,
         "plain.txt holds no NAME<TAB>text line"},
        {"a profile folder that is a file", WithText("good.tsv", "ENGLISH\tqwert common words\n"),
         "--profiles good.tsv good.tsv", 1, "cannot load profiles from good.tsv: not a folder"},
    };
    for (const BadInput& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RunCase(kEvaluate, c).out, "");  // never half a result
    }
}

TEST_F(ToolBadInput, BuildKilledAtAnyRenameLeavesOneWholeSet)
{
    // The new set, built where nothing was.
    ASSERT_EQ(RunIn(m_root, kBuild + " corpus --out new").status, 0);
    const std::map<std::string, std::string> fresh = Contents(m_root / "new");
    ASSERT_EQ(fresh.size(), size_t(kLanguageCount + 1));

    // Two renames for each file of the old set: each old file is moved aside, then its new one put
    // in its place.
    const int renames = 2 * int(fresh.size());
    for (int k = 0; k <= renames + 1; ++k) {
        SCOPED_TRACE("killed after rename " + std::to_string(k));
        SetUp();
        const ToolRun killed = RunIn(m_root, "TM_TEST_KILL_AFTER_RENAME=" + std::to_string(k) + " " + kBuild +
                                                 " corpus --out out");
        if (k == renames + 1) {  // past the last rename: not killed
            EXPECT_EQ(killed.status, 0) << killed.err;
            EXPECT_FALSE(fs::exists(m_root / "out" / kReplaceJournalName));
            continue;
        }
        ASSERT_EQ(killed.status, 128 + SIGKILL) << killed.err;
        // Until a builder has finished the replacement, the folder is refused.
        const ToolRun refused = RunIn(m_root, "echo hello | " + kIdentify + " --profiles out");
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find("a replacement of its files is unfinished"), std::string::npos) << refused.err;
        EXPECT_EQ(refused.out, "");
        // The next builder finishes it first, even when it fails itself.
        const ToolRun next = RunIn(m_root, kBuild + " nowhere --out out");
        EXPECT_EQ(next.status, 1);
        EXPECT_NE(next.err.find("completed the replacement"), std::string::npos) << next.err;
        EXPECT_TRUE(Contents(m_root / "out") == fresh) << "the folder does not hold the new set alone";
    }
}

}  // namespace
