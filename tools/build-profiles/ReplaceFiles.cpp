#include "ReplaceFiles.h"

#include "ProfileFolder.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char kJournalHead[] = "tm-replace";
const char kForward[] = "forward";  // every new file is whole: complete the set
const char kBack[] = "back";        // a failing run was putting the old files back: finish that

fs::path Fresh(const fs::path& dir, const std::string& name) { return dir / ("." + name + ".new"); }
fs::path Old(const fs::path& dir, const std::string& name) { return dir / ("." + name + ".old"); }
fs::path JournalPath(const fs::path& dir) { return dir / kReplaceJournalName; }
fs::path JournalDraft(const fs::path& dir) { return dir / (std::string(kReplaceJournalName) + ".new"); }

std::string Reason(int error) { return std::strerror(error); }

// Flushes a file or a folder (its entries: creations and renames) to disk.
bool Sync(const fs::path& path, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) {
        error = "cannot flush " + path.string() + " to disk: " + Reason(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

// Writes the whole file, flushes it to disk and closes it; false, with the reason, when any step
// fails (a full disk or a file size limit shows at the write, the flush or the close).
bool WriteWhole(const fs::path& path, const std::string& contents, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot create " + path.string() + ": " + Reason(errno);
        return false;
    }
    errno = 0;
    const bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size() &&
                         std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && closed)
        return true;
    error = "cannot write " + path.string() + ": " + Reason(written ? errno : writeErrno);
    return false;
}

bool Exists(const fs::path& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// A regular file (what a replacement makes), not a folder someone put in the way.
bool IsFile(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(path, ec));
}

// Removes a file the replacement made, if it is there; folders and the like are left alone.
void RemoveFile(const fs::path& path)
{
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (fs::is_regular_file(status) || fs::is_symlink(status))
        fs::remove(path, ec);
}

struct JournalEntry
{
    std::string name;
    bool hadOld;  // a file of that name was there before the replacement
};

// The journal is written whole to a draft, flushed, then renamed into place, so it is either absent
// or whole.
bool WriteJournal(const fs::path& dir, const char* direction, const std::vector<JournalEntry>& entries,
                  std::string& error)
{
    std::string text = std::string(kJournalHead) + " " + direction + "\n";
    for (const JournalEntry& entry : entries)
        text += entry.name + "\t" + (entry.hadOld ? "1" : "0") + "\n";
    text += "end\n";
    std::error_code ec;
    if (!WriteWhole(JournalDraft(dir), text, error))
        return false;
    fs::rename(JournalDraft(dir), JournalPath(dir), ec);
    if (ec) {
        error = "cannot rename " + JournalDraft(dir).string() + ": " + ec.message();
        return false;
    }
    return Sync(dir, error);
}

bool ReadJournal(const fs::path& dir, std::string& direction, std::vector<JournalEntry>& entries,
                 std::string& error)
{
    std::ifstream file(JournalPath(dir), std::ios::binary);
    std::string line;
    std::string head;
    bool ended = false;
    if (std::getline(file, line)) {
        std::istringstream first(line);
        first >> head >> direction;
    }
    while (!ended && std::getline(file, line)) {
        const size_t tab = line.find('\t');
        ended = line == "end";
        if (!ended && (tab == std::string::npos || tab == 0 || line.find('/') != std::string::npos))
            break;
        if (!ended)
            entries.push_back({line.substr(0, tab), line.substr(tab + 1) == "1"});
    }
    if (head == kJournalHead && (direction == kForward || direction == kBack) && ended)
        return true;
    error = JournalPath(dir).string() + " cannot be read or is not a replacement journal; "
            "remove it once the files beside it are checked";
    return false;
}

// Brings every file of the journal to the side it names: forward, each new file that is not yet in
// place is renamed there; back, each old file goes back and each file that had none is removed.
// Then the other side's files and the journal go. Each step may be repeated after an interruption.
bool Settle(const fs::path& dir, const std::string& direction, const std::vector<JournalEntry>& entries,
            std::string& error)
{
    const bool forward = direction == kForward;
    for (const JournalEntry& entry : entries) {
        const fs::path target = dir / entry.name;
        const fs::path& from = forward ? Fresh(dir, entry.name) : Old(dir, entry.name);
        std::error_code ec;
        if (IsFile(from))
            fs::rename(from, target, ec);
        else if (!forward && !entry.hadOld && !Exists(Fresh(dir, entry.name)))
            fs::remove(target, ec);  // the new file was in place where there had been none
        if (ec) {
            error = "cannot rename " + from.string() + " to " + target.string() + ": " + ec.message();
            return false;
        }
    }
    if (!Sync(dir, error))
        return false;
    for (const JournalEntry& entry : entries)
        RemoveFile(forward ? Old(dir, entry.name) : Fresh(dir, entry.name));
    std::error_code ec;
    fs::remove(JournalPath(dir), ec);
    if (ec) {
        error = "cannot remove " + JournalPath(dir).string() + ": " + ec.message();
        return false;
    }
    return Sync(dir, error);
}

// The test hook: kills the process once `done` renames are done, when the environment asks.
void MaybeKill(size_t done)
{
    const char* at = std::getenv("TM_TEST_KILL_AFTER_RENAME");
    if (at != nullptr && *at != 0 && std::strtoul(at, nullptr, 10) == done)
        std::raise(SIGKILL);
}

}  // namespace

CFolderLock::~CFolderLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CFolderLock::Acquire(const std::string& dir, std::string& error)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec)) {
        error = "cannot use " + dir + " as the output folder" + (ec ? ": " + ec.message() : ": not a folder");
        return false;
    }
    m_fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        error = "cannot open the output folder " + dir + ": " + Reason(errno);
        return false;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    error = errno == EWOULDBLOCK ? "another tm-build-profiles is writing " + dir + "; nothing was written"
                                 : "cannot lock the output folder " + dir + ": " + Reason(errno);
    ::close(m_fd);
    m_fd = -1;
    return false;
}

bool FinishReplacement(const std::string& dirName, const std::vector<std::string>& names, std::string& note,
                       std::string& error)
{
    const fs::path dir(dirName);
    note.clear();
    if (Exists(JournalPath(dir))) {
        std::string direction;
        std::vector<JournalEntry> entries;
        if (!ReadJournal(dir, direction, entries, error) || !Settle(dir, direction, entries, error))
            return false;
        note = direction == kForward ? "completed the replacement of the files in " + dirName +
                                           " that an earlier run left unfinished"
                                     : "put back the old files in " + dirName +
                                           " that an earlier, failing run left half restored";
    }
    // A run killed before its journal was written leaves its temporaries beside the old set.
    RemoveFile(JournalDraft(dir));
    for (const std::string& name : names) {
        RemoveFile(Fresh(dir, name));
        RemoveFile(Old(dir, name));
    }
    return true;
}

bool ReplaceFiles(const std::string& dirName, const std::vector<std::pair<std::string, std::string>>& files,
                  std::string& error)
{
    const fs::path dir(dirName);
    std::vector<JournalEntry> entries;
    auto removeFresh = [&]() {
        for (const auto& file : files)
            RemoveFile(Fresh(dir, file.first));
    };
    for (const auto& file : files) {
        if (!WriteWhole(Fresh(dir, file.first), file.second, error)) {
            removeFresh();
            return false;
        }
    }
    // Every target is checked before the first rename: absent or a regular file, not a folder or
    // a link.
    for (const auto& file : files) {
        const fs::path target = dir / file.first;
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(target, ec);
        if (fs::exists(status) && !fs::is_regular_file(status)) {
            error = target.string() + " exists and is not a regular file; nothing was replaced";
            removeFresh();
            return false;
        }
        entries.push_back({file.first, fs::exists(status)});
    }
    if (!Sync(dir, error) || !WriteJournal(dir, kForward, entries, error)) {
        removeFresh();
        std::error_code ec;
        fs::remove(JournalPath(dir), ec);
        return false;
    }

    size_t renames = 0;
    MaybeKill(renames);
    for (const JournalEntry& entry : entries) {
        const fs::path target = dir / entry.name;
        fs::path from = target, to = Old(dir, entry.name);
        std::error_code step;
        if (entry.hadOld) {
            fs::rename(from, to, step);
            if (!step)
                MaybeKill(++renames);
        }
        if (!step) {
            from = Fresh(dir, entry.name);
            to = target;
            fs::rename(from, to, step);
        }
        if (!step) {
            MaybeKill(++renames);
            continue;
        }
        // Put back what was replaced so far; the journal first says so, for a kill meanwhile.
        error = "cannot rename " + from.string() + " to " + to.string() + ": " + step.message();
        std::string backError;
        if (!WriteJournal(dir, kBack, entries, backError) || !Settle(dir, kBack, entries, backError)) {
            error += "; putting the previous files back failed too (" + backError +
                     "): the next build puts them back";
            return false;
        }
        error += "; the previous files were kept";
        return false;
    }
    return Settle(dir, kForward, entries, error);
}
