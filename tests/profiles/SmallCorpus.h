// A training corpus of 42 small files for the tests of the builder and its tools: every language
// says "common words " and a word of its own; English also says "qwert" on its training lines and
// "xyzzy" only on its development lines.
#pragma once

#include "LanguageTable.h"
#include "ProfileBuilder.h"
#include "Utf8.h"

#include <filesystem>
#include <fstream>
#include <string>

const size_t kSmallCorpusLines = 40;
const int kEnglish = 10;  // the catalogue row of English, whose lines differ


inline std::u16string SmallCorpusLine(int language, size_t i)
{
    std::u16string line = u"common words " + std::u16string(3, char16_t(0x4E00 + language));
    if (language == kEnglish)
        line += IsDevelopmentLine(i, kSmallCorpusLines) ? u" xyzzy xyzzy xyzzy" : u" qwert";
    return line;
}

// Writes the corpus into `dir` (created when missing).
inline void WriteSmallCorpus(const std::string& dir)
{
    std::filesystem::create_directories(dir);
    for (int language = 0; language < kLanguageCount; ++language) {
        std::ofstream file(CorpusFilePath(dir, language), std::ios::binary);
        for (size_t i = 0; i < kSmallCorpusLines; ++i)
            file << EncodeUtf8(SmallCorpusLine(language, i)) << "\n";
    }
}
