#include "Normalise.h"

std::unique_ptr<char16_t[]> NormaliseText(const char16_t* text, size_t* length)
{
    size_t n = 0;
    while (text[n] != 0)
        ++n;

    // n + 3 units: the marker, at most one unit per input unit, the terminator. new[] itself
    // refuses a size that would overflow.
    std::unique_ptr<char16_t[]> out(new char16_t[n + 3]);
    out[0] = u'.';
    out[1] = u' ';
    size_t w = 2;
    char16_t previous = u' ';
    for (size_t i = 0; i < n; ++i) {
        char16_t c = text[i];
        switch (c) {
        case u'\n':
        case u'\r':
        case u' ':
            c = u' ';
            break;
        case u'!':
        case u'?':
        case u'.':
            c = u'.';
            break;
        default:
            out[w++] = c;
            previous = c;
            continue;
        }
        if (c != previous) {
            out[w++] = c;
            previous = c;
        }
    }
    out[w] = 0;
    if (length != nullptr)
        *length = w;
    return out;
}
