// Replacing a set of files in a folder as one: either every file gets its new contents, or the
// folder is left as it was.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Writes every (name, contents) pair into `dir` (created when missing): first all of them to
// temporary files in `dir`, then, once each target is known to be absent or a regular file, renames
// them over the targets one by one, keeping the old files aside until the last rename succeeded. If
// a write or a rename fails, the temporary files are removed and the files already renamed are put
// back, so the folder holds the old set, whole. False, with a message in `error`, on any failure.
bool ReplaceFiles(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& files,
                  std::string& error);
