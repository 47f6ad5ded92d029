#include "Sections.h"

#include "LangIdentifier.h"
#include "NgramTable.h"
#include "Verdict.h"

#include <string>

namespace {

// What a change of language costs, in the units of the evidence: a piece of weight w (its length,
// see Weight) costs w * (1 - s) when labelled with a language that scores s in it (the best 1.0).
const double kChangeCost = 16.0;
// What each unit of a piece costs when labelled unknown; a piece without evidence costs its full
// length in every language, so only a long stretch of such pieces becomes a run of its own.
const double kUnknownCost = 0.5;
// A piece without a sentence end, line break or change of script is cut after about this many
// units, at a space where there is one in its second half.
const size_t kLongestPiece = 160;
// A sentence, line or stretch of one script shorter than this joins the piece after it.
const size_t kShortestPiece = 12;

enum class Script { None, Latin, Greek, Cyrillic, Hebrew, Arabic, Thai, Hangul, Cjk, Other };

// The writing system of a letter; None for digits, punctuation, spaces, combining marks and
// symbols, which go with either side.
Script ScriptOf(char16_t c)
{
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))
        return Script::Latin;
    if (c < 0xC0 || c == 0xD7 || c == 0xF7 || (c >= 0x2B0 && c < 0x370) || (c >= 0x2000 && c < 0x3040))
        return Script::None;
    if (c < 0x2B0 || (c >= 0x1E00 && c < 0x1F00))
        return Script::Latin;
    if (c < 0x400 || (c >= 0x1F00 && c < 0x2000))
        return Script::Greek;
    if (c < 0x530)
        return Script::Cyrillic;
    if (c >= 0x5D0 && c < 0x600)
        return Script::Hebrew;
    if ((c >= 0x620 && c < 0x64B) || (c >= 0x66E && c < 0x6D4) || (c >= 0x750 && c < 0x780)
        || (c >= 0xFB50 && c < 0xFE00) || (c >= 0xFE70 && c < 0xFF00))
        return Script::Arabic;
    if (c >= 0xE00 && c < 0xE80)
        return Script::Thai;
    if ((c >= 0x1100 && c < 0x1200) || (c >= 0x3130 && c < 0x3190) || (c >= 0xAC00 && c < 0xD7B0))
        return Script::Hangul;
    if ((c >= 0x3040 && c < 0x3100) || (c >= 0x3400 && c < 0xA000) || (c >= 0xF900 && c < 0xFB00)
        || (c >= 0xFF21 && c < 0xFF3B) || (c >= 0xFF41 && c < 0xFF5B) || (c >= 0xFF66 && c < 0xFFA0))
        return Script::Cjk;
    if ((c >= 0x590 && c < 0x800) || (c >= 0xD800 && c < 0xE000) || c >= 0xFF00)
        return Script::None;
    return Script::Other;
}

bool IsSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == 0x00A0 || c == 0x3000;
}

bool IsLineBreak(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

// Marks that end a sentence when a space follows, and those that end one by themselves.
bool IsSentenceMark(char16_t c)
{
    return c == u'.' || c == u'!' || c == u'?';
}

bool IsWideSentenceMark(char16_t c)
{
    return c == 0x3002 || c == 0xFF01 || c == 0xFF1F || c == 0xFF0E;
}

bool IsClosing(char16_t c)
{
    return c == u'"' || c == u'\'' || c == u')' || c == u']' || c == 0x00BB || c == 0x201D
           || c == 0x2019 || c == 0x300D || c == 0x300F || c == 0xFF09;
}

// A piece's length as evidence: a Chinese or Japanese character or a Hangul syllable says about as
// much as kWideWeight units of alphabetic text (a sentence is about that much shorter).
const double kWideWeight = 3.0;

double Weight(const std::u16string& piece)
{
    double weight = 0;
    for (char16_t c : piece) {
        const Script script = ScriptOf(c);
        weight += script == Script::Cjk || script == Script::Hangul ? kWideWeight : 1.0;
    }
    return weight;
}

struct Piece
{
    size_t start;
    size_t end;
};

// Where the piece that starts at `start` and has reached `i` should end, if it is too long: after
// the last space in its second half, otherwise at `i` (never between the units of a surrogate pair).
size_t LongPieceEnd(const char16_t* text, size_t start, size_t i)
{
    for (size_t k = i; k > start + kLongestPiece / 2; --k)
        if (IsSpace(text[k - 1]))
            return k;
    return (text[i - 1] >= 0xD800 && text[i - 1] < 0xDC00) ? i - 1 : i;
}

// Cuts the text into pieces that cover it back to back: after a sentence end or a line break (with
// the spaces that follow), before the first letter of another script, and a long piece about every
// kLongestPiece units; but a piece is at least kShortestPiece units long (the last may be shorter),
// so that their number stays a small part of the text's length whatever the text.
std::vector<Piece> CutIntoPieces(const char16_t* text, size_t length)
{
    std::vector<Piece> pieces;
    size_t start = 0;
    Script script = Script::None;
    size_t i = 0;
    auto cut = [&](size_t at) {
        pieces.push_back(Piece{start, at});
        start = at;
        script = Script::None;
    };
    while (i < length) {
        const char16_t c = text[i];
        const Script s = ScriptOf(c);
        if (s != Script::None) {
            if (script != Script::None && s != script && i - start >= kShortestPiece)
                cut(i);
            script = s;
        }
        ++i;
        bool ends = IsLineBreak(c) || IsWideSentenceMark(c);
        if (IsSentenceMark(c)) {
            size_t k = i;
            while (k < length && (IsSentenceMark(text[k]) || IsClosing(text[k])))
                ++k;
            ends = k == length || IsSpace(text[k]);
            i = ends ? k : i;
        }
        if (ends) {
            while (i < length && IsSpace(text[i]))
                ++i;
            if (i - start >= kShortestPiece)
                cut(i);
        } else if (i - start >= kLongestPiece) {
            const size_t at = LongPieceEnd(text, start, i);
            cut(at);
            i = at;
        }
    }
    if (start < length || pieces.empty())
        cut(length);
    return pieces;
}

// What each label costs for one piece: the P languages, then unknown.
class CPieceCosts
{
public:
    explicit CPieceCosts(const CLangIdentifier& identifier)
        : m_identifier(identifier), m_profiles(identifier.GetProfileCount()), m_costs(size_t(m_profiles) + 1)
    {
    }

    const std::vector<double>& Of(const char16_t* text, const Piece& piece)
    {
        m_piece.assign(text + piece.start, piece.end - piece.start);
        const double weight = Weight(m_piece);
        const LangScore* results = m_identifier.IdentifyInto(m_piece.c_str(), m_records, m_sums);
        const bool evidence = FormatVerdict(results, m_profiles, m_verdict);
        for (int i = 0; i < m_profiles; ++i)
            m_costs[size_t(i)] = weight;
        for (int r = 0; evidence && r < m_profiles; ++r)
            m_costs[size_t(results[r].profile)] = weight * (1.0 - results[r].score);
        m_costs[size_t(m_profiles)] = weight * kUnknownCost;
        return m_costs;
    }

private:
    const CLangIdentifier& m_identifier;
    const int m_profiles;
    std::vector<LangScore> m_records;
    std::vector<double> m_sums;
    std::u16string m_piece;
    std::u16string m_verdict;
    std::vector<double> m_costs;
};

// The labels that explain the pieces at the least cost, with kChangeCost for every change
// (Viterbi), scoring each piece as it goes. Of equal costs, the change as late as possible (so that
// text without evidence stays with the run before it), then the lower label. What it keeps of each
// piece is the label a change to it came from and a bit per label: whether the label stayed.
std::vector<size_t> BestLabels(const CLangIdentifier& identifier, const char16_t* text,
                               const std::vector<Piece>& pieces)
{
    CPieceCosts costs(identifier);
    const size_t labels = size_t(identifier.GetProfileCount()) + 1;
    const size_t count = pieces.size();
    std::vector<double> total = costs.Of(text, pieces[0]);
    std::vector<size_t> changedFrom(count, 0);
    std::vector<bool> stayed(count * labels, true);
    for (size_t k = 1; k < count; ++k) {
        size_t cheapest = 0;
        for (size_t l = 1; l < labels; ++l)
            if (total[l] < total[cheapest])
                cheapest = l;
        const double changed = total[cheapest] + kChangeCost;
        const std::vector<double>& cost = costs.Of(text, pieces[k]);
        changedFrom[k] = cheapest;
        for (size_t l = 0; l < labels; ++l) {
            const bool stay = total[l] < changed;
            stayed[k * labels + l] = stay;
            total[l] = (stay ? total[l] : changed) + cost[l];
        }
    }
    std::vector<size_t> best(count);
    size_t label = 0;
    for (size_t l = 1; l < labels; ++l)
        if (total[l] < total[label])
            label = l;
    for (size_t k = count; k-- > 0;) {
        best[k] = label;
        if (!stayed[k * labels + label])
            label = changedFrom[k];
    }
    return best;
}

}  // namespace

std::vector<LanguageRun> FindLanguageRuns(const CLangIdentifier& identifier, const char16_t* text,
                                          size_t length)
{
    std::vector<LanguageRun> runs;
    size_t n = 0;
    while (n < length && text[n] != 0)
        ++n;
    const int profiles = identifier.GetProfileCount();
    if (n == 0 || profiles == 0)
        return runs;

    const std::vector<Piece> pieces = CutIntoPieces(text, n);
    const std::vector<size_t> labels = BestLabels(identifier, text, pieces);
    for (size_t k = 0; k < pieces.size(); ++k) {
        const int profile = labels[k] == size_t(profiles) ? kUnknownLanguage : int(labels[k]);
        if (!runs.empty() && runs.back().profile == profile)
            runs.back().end = pieces[k].end;
        else
            runs.push_back(LanguageRun{pieces[k].start, pieces[k].end, profile});
    }
    return runs;
}
