// Replacing a set of files in a folder as one: after a failure, a kill or a power cut, the folder
// holds either the whole old set or the whole new one, once the next run has finished what was left.
//
// The new files are written as hidden temporaries (".NAME.new") and flushed to disk; then a journal
// (kReplaceJournalName) naming the set is written and flushed; then each old file is moved aside
// (".NAME.old") and its new one renamed into place; then the old files and the journal go. While
// the journal is there the set may be mixed: the loaders refuse such a folder, and the next
// FinishReplacement completes it (every new file was whole before the journal was written) or, when
// the journal says a failing run was putting the old files back, finishes putting them back.
#pragma once

#include <string>
#include <utility>
#include <vector>

// An exclusive lock on a folder (created when missing), held while the object lives, so that two
// builders never write one folder at the same time. The lock goes with the process, however it
// ends.
class CFolderLock
{
public:
    CFolderLock() = default;
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;
    ~CFolderLock();

    // False, with a message in `error`, when the folder cannot be made or opened, or another
    // process holds its lock (it is not waited for).
    bool Acquire(const std::string& dir, std::string& error);

private:
    int m_fd = -1;
};

// Finishes a replacement of `dir` that a killed or failed run left (see above) and removes the
// temporaries of `names` that a run killed before its journal was written left behind. Call with
// the folder locked. `note` says what was done, empty when nothing was left. False, with a message
// in `error`, when a step fails; the journal then stays for the next try.
bool FinishReplacement(const std::string& dir, const std::vector<std::string>& names, std::string& note,
                       std::string& error);

// Writes every (name, contents) pair into `dir`, which must be locked and hold no unfinished
// replacement, replacing the old files as one (see above). Targets must be absent or regular files;
// they are all checked before anything is renamed. If a write or a rename fails, the files renamed
// so far are put back, so the folder holds the old set, whole. False, with a message in `error`, on
// any failure.
//
// For the tests of interruption, the environment variable TM_TEST_KILL_AFTER_RENAME=k kills the
// process (SIGKILL) once k renames are done (0: once the journal is written).
bool ReplaceFiles(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& files,
                  std::string& error);
