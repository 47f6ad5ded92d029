#include "Verdict.h"

#include "LangIdentifier.h"

namespace {

const double kTieMargin = 0.01;
const double kListingMargin = 0.1;
const size_t kLengthCap = 224;
const char16_t kCannotIdentify[] = u"判定不能";

// Integer part of s * 100 + 0.5, each step rounded to double. A listed score lies within 0.1 of a
// positive best, which the identifier scales to 1.0; records from elsewhere are held to 0 .. 10^9 so
// that the conversion is always defined.
int Percentage(double score)
{
    double scaled = score * 100.0;
    scaled = scaled + 0.5;
    if (!(scaled >= 0.0))
        return 0;
    return scaled < 1e9 ? static_cast<int>(scaled) : 1000000000;
}

void AppendPercentage(std::u16string& text, int percent)
{
    const std::string digits = std::to_string(percent);
    text += u'[';
    for (char c : digits)
        text += char16_t(c);
    text += u']';
}

}  // namespace

bool FormatVerdict(const LangScore* results, int count, std::u16string& text)
{
    text.clear();
    if (results == nullptr || count <= 0) {
        text = kCannotIdentify;
        return false;
    }
    // A record that does not exist counts as a language that matched nothing.
    auto score = [results, count](int k) { return k < count ? results[k].score : 0.0; };

    // Only a text that matched something can be told: when no score is positive (profiles with
    // negative counts can make every score zero or less) no language is named.
    const double top = score(0);
    if (!(top > 0.0)) {
        text = kCannotIdentify;
        return false;
    }
    bool separated = false;
    for (int k = 1; k <= 3 && !separated; ++k)
        separated = top - score(k) >= kTieMargin;
    if (!separated) {
        text = kCannotIdentify;
        return false;
    }

    text = results[0].name;
    if (top - score(1) <= kListingMargin)
        AppendPercentage(text, Percentage(top));
    for (int i = 1; i < count && top - score(i) <= kListingMargin; ++i) {
        text += u" か ";
        text += results[i].name;
        AppendPercentage(text, Percentage(score(i)));
        if (text.size() > kLengthCap)
            break;
    }
    return true;
}
