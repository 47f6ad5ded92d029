// Text normalisation: the form of a text that scoring walks over and that profiles are trained on.
#pragma once

#include <cstddef>
#include <memory>

// Writes the sentence-start marker ". ", then the text with CR and LF mapped to a space, "!" and "?"
// mapped to ".", and runs of spaces and runs of full stops collapsed to one (only identical
// neighbours collapse; the marker's space counts as the previous unit, so leading spaces and line
// breaks vanish). Nothing else changes: no case folding, tabs and other spaces stay as they are.
// `text` is non-null and NUL-terminated; the result is NUL-terminated and 2 to n + 2 units long.
// `length`, when given, receives that length. Throws std::bad_alloc when memory runs out.
std::unique_ptr<char16_t[]> NormaliseText(const char16_t* text, size_t* length = nullptr);
