// Loading the catalogue from a folder of blob files (tools, tests and benchmarks).
#include "ProfileFolder.h"

#include "ProfileFormat.h"
#include "Utf8.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

const char kReplaceJournalName[] = ".replace-journal";

std::string BlobPath(const std::string& folder, int language)
{
    return folder + "/" + EncodeUtf8(LanguageTable[language].resourceName) + ".bin";
}

ProfileError ReadBlobFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    namespace fs = std::filesystem;
    bytes.clear();
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found)
        return ProfileError::Missing;
    if (error)
        return ProfileError::Unreadable;
    if (status.type() != fs::file_type::regular)
        return ProfileError::NotRegularFile;
    const uintmax_t size = fs::file_size(path, error);
    if (error)
        return ProfileError::Unreadable;
    if (size > kMaxBlobBytes)
        return ProfileError::TooLarge;

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return ProfileError::Unreadable;
    try {
        bytes.resize(size_t(size));
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
        // The file may have grown since its size was taken: the limit holds for what is read.
        uint8_t chunk[65536];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;) {
            if (n > kMaxBlobBytes - bytes.size()) {
                bytes.clear();
                return ProfileError::TooLarge;
            }
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
    } catch (const std::bad_alloc&) {
        bytes.clear();
        return ProfileError::OutOfMemory;
    }
    if (std::ferror(file.get())) {
        bytes.clear();
        return ProfileError::Unreadable;
    }
    return ProfileError::None;
}

std::string DescribeFailures(const std::vector<ProfileFailure>& failures)
{
    std::string text;
    if (failures.empty())
        return text;
    bool alike = failures.size() == size_t(kLanguageCount);
    for (const ProfileFailure& failure : failures)
        alike = alike && failure.error == failures.front().error;
    if (alike)
        return "all " + std::to_string(kLanguageCount) + " " + DescribeProfileError(failures.front().error);

    for (ProfileError error = ProfileError::Missing; error <= ProfileError::ListFull;
         error = ProfileError(int(error) + 1)) {
        std::string names;
        for (const ProfileFailure& failure : failures)
            if (failure.error == error)
                names += " " + EncodeUtf8(LanguageTable[failure.language].resourceName);
        if (!names.empty())
            text += (text.empty() ? "" : "; ") + std::string(DescribeProfileError(error)) + ":" + names;
    }
    return text;
}

bool CProfileCatalogue::Load(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(folder.empty() ? fs::path() : fs::path(folder), error);
    if (folder.empty())
        m_folderProblem = "no folder named";
    else if (status.type() == fs::file_type::not_found)
        m_folderProblem = "no such folder";
    else if (error)
        m_folderProblem = error.message();
    else if (status.type() != fs::file_type::directory)
        m_folderProblem = "not a folder";
    else if (fs::exists(fs::symlink_status(fs::path(folder) / kReplaceJournalName, error)))
        m_folderProblem = std::string("a replacement of its files is unfinished (") + kReplaceJournalName +
                          " is there): unless a tm-build-profiles is writing it now, run one with --out "
                          "on this folder to finish it";
    if (!m_folderProblem.empty())
        return false;
    // Room for every row first, so that recording a row cannot fail. One buffer serves every file.
    m_languages.reserve(kLanguageCount);
    m_failures.reserve(kLanguageCount);
    std::vector<uint8_t> blob;
    for (int language = 0; language < kLanguageCount; ++language) {
        ProfileError error = ReadBlobFile(BlobPath(folder, language), blob);
        if (error == ProfileError::None)
            error = LoadCatalogueProfile(m_identifier, LanguageTable[language], blob.data(), blob.size());
        if (error != ProfileError::None) {
            m_failures.push_back({language, error});
            continue;
        }
        m_blobBytes += blob.size();
        m_languages.push_back(language);
    }
    return m_identifier.GetProfileCount() > 0;
}
