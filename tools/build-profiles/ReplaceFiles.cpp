#include "ReplaceFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Writes the whole file and closes it; false, with the reason, when any step fails (a full disk or
// a file size limit shows at the write or at the close).
bool WriteWhole(const fs::path& path, const std::string& contents, std::string& error)
{
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (file == nullptr) {
        error = "cannot create " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    errno = 0;
    const bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size() &&
                         std::fflush(file) == 0;
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && closed)
        return true;
    error = "cannot write " + path.string() + ": " + std::strerror(written ? errno : writeErrno);
    return false;
}

// A target may be replaced when it is absent or a regular file (not a folder, not a link).
bool Replaceable(const fs::path& target, std::string& error)
{
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(target, ec);
    if (!fs::exists(status) || fs::is_regular_file(status))
        return true;
    error = target.string() + " exists and is not a regular file; nothing was replaced";
    return false;
}

}  // namespace

bool ReplaceFiles(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& files,
                  std::string& error)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec)) {
        error = "cannot use " + dir + " as the output folder";
        return false;
    }
    struct Entry
    {
        fs::path target, fresh, old;
        bool movedAside = false;  // the old file now sits at `old`
        bool renamed = false;     // the new file now sits at `target`
    };
    std::vector<Entry> entries;
    for (const auto& file : files) {
        Entry entry;
        entry.target = fs::path(dir) / file.first;
        entry.fresh = fs::path(dir) / ("." + file.first + ".new");
        entry.old = fs::path(dir) / ("." + file.first + ".old");
        entries.push_back(entry);
    }
    auto removeFresh = [&]() {
        for (const Entry& entry : entries)
            fs::remove(entry.fresh, ec);
    };

    for (size_t i = 0; i < entries.size(); ++i) {
        if (!WriteWhole(entries[i].fresh, files[i].second, error)) {
            removeFresh();
            return false;
        }
    }
    // Every target is checked before the first rename.
    for (const Entry& entry : entries) {
        if (!Replaceable(entry.target, error)) {
            removeFresh();
            return false;
        }
    }

    for (Entry& entry : entries) {
        std::error_code step;
        const fs::path* from = &entry.target;
        const fs::path* to = &entry.old;
        if (fs::exists(fs::symlink_status(entry.target, ec))) {
            fs::rename(entry.target, entry.old, step);
            entry.movedAside = !step;
        }
        if (!step) {
            from = &entry.fresh;
            to = &entry.target;
            fs::rename(entry.fresh, entry.target, step);
            entry.renamed = !step;
        }
        if (!step)
            continue;
        // Put back what was replaced so far, this target's old file included.
        error = "cannot rename " + from->string() + " to " + to->string() + ": " + step.message() +
                "; the previous files were kept";
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            if (it->renamed)
                fs::remove(it->target, ec);
            if (it->movedAside)
                fs::rename(it->old, it->target, ec);
        }
        removeFresh();
        return false;
    }
    for (const Entry& entry : entries)
        if (entry.movedAside)
            fs::remove(entry.old, ec);
    return true;
}
