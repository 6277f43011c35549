#include "collection/gbk_like.h"

#include "app/gbk_text.h"

#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <string_view>

namespace collection {

namespace {

unsigned char lowerAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool isAsciiLetter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

unsigned char byteAt(QByteArrayView bytes, qsizetype i)
{
    return static_cast<unsigned char>(bytes[i]);
}

} // namespace

bool GbkLikePattern::isSingleCharacter(QByteArrayView bytes)
{
    return !bytes.isEmpty() && gbk::charLength(bytes, 0) == bytes.size();
}

GbkLikePattern::GbkLikePattern(QByteArrayView pattern, std::optional<QByteArrayView> escape)
    : m_source(pattern.toByteArray())
{
    if (escape) {
        m_escape = escape->toByteArray();
        if (!isSingleCharacter(*escape))
            return; // Shape::Invalid
    }

    const auto addChar = [this](QByteArrayView ch) {
        Step step{Token::Char, static_cast<unsigned char>(ch.size()), m_literal.size()};
        if (ch.size() == 1) {
            const unsigned char c = byteAt(ch, 0);
            m_hasLetters = m_hasLetters || isAsciiLetter(c);
            m_literal.append(char(lowerAscii(c)));
        } else {
            m_literal.append(ch);
        }
        m_steps.push_back(step);
    };

    bool hasOne = false;
    for (qsizetype pi = 0; pi < pattern.size();) {
        int len = gbk::charLength(pattern, pi);
        const QByteArrayView ch = pattern.sliced(pi, len);
        pi += len;
        if (escape && ch == *escape) {
            if (pi >= pattern.size()) {
                m_shape = Shape::Never;
                m_steps.clear();
                m_literal.clear();
                return;
            }
            len = gbk::charLength(pattern, pi);
            addChar(pattern.sliced(pi, len));
            pi += len;
        } else if (len == 1 && ch[0] == '%') {
            // Runs of '%' mean the same as one and would only add backtracking.
            if (m_steps.empty() || m_steps.back().token != Token::Any)
                m_steps.push_back({Token::Any, 0, 0});
        } else if (len == 1 && ch[0] == '_') {
            hasOne = true;
            m_steps.push_back({Token::One, 0, 0});
        } else {
            addChar(ch);
        }
    }

    const bool leadingAny = !m_steps.empty() && m_steps.front().token == Token::Any;
    const bool trailingAny = !m_steps.empty() && m_steps.back().token == Token::Any;
    qsizetype anyCount = 0;
    for (const Step &step : m_steps)
        anyCount += step.token == Token::Any ? 1 : 0;

    if (hasOne || anyCount > qsizetype(leadingAny) + qsizetype(trailingAny)) {
        m_shape = Shape::General;
        chooseRequiredRun();
        return;
    }
    if (m_literal.isEmpty()) {
        m_shape = anyCount > 0 ? Shape::Anything : Shape::Exact;
        m_steps.clear();
        return;
    }
    // Only the literal's characters stay in m_steps for the byte-search shapes.
    if (leadingAny)
        m_steps.erase(m_steps.begin());
    if (trailingAny)
        m_steps.pop_back();
    if (leadingAny && trailingAny)
        m_shape = Shape::Contains;
    else if (leadingAny)
        m_shape = Shape::Suffix;
    else if (trailingAny)
        m_shape = Shape::Prefix;
    else
        m_shape = Shape::Exact;
}

void GbkLikePattern::chooseRequiredRun()
{
    qsizetype bestStart = 0, bestLength = 0;
    qsizetype start = 0, length = 0;
    for (const Step &step : m_steps) {
        const bool exact = step.token == Token::Char
            && !(step.length == 1 && isAsciiLetter(byteAt(m_literal, step.offset)));
        if (!exact) {
            length = 0;
            continue;
        }
        if (length == 0)
            start = step.offset;
        length += step.length;
        if (length > bestLength) {
            bestStart = start;
            bestLength = length;
        }
    }
    m_required = m_literal.mid(bestStart, bestLength);
}

// Whether the literal's characters, one by one, are the text's characters from
// pos on. pos must be a character boundary of the text. Comparing bytes alone
// is not enough: a literal that ends in a lone lead byte would match the first
// half of a two-byte character.
bool GbkLikePattern::literalAt(QByteArrayView text, qsizetype pos) const
{
    if (text.size() - pos < m_literal.size())
        return false;
    for (const Step &step : m_steps) {
        if (gbk::charLength(text, pos) != step.length)
            return false;
        if (step.length == 1) {
            if (lowerAscii(byteAt(text, pos)) != byteAt(m_literal, step.offset))
                return false;
        } else if (std::memcmp(text.data() + pos, m_literal.constData() + step.offset, step.length) != 0) {
            return false;
        }
        pos += step.length;
    }
    return true;
}

bool GbkLikePattern::containsLiteral(QByteArrayView text) const
{
    const qsizetype n = text.size();
    const qsizetype len = m_literal.size();
    if (len > n)
        return false;

    if (m_hasLetters) {
        // The byte search cannot fold case; try each character boundary, with
        // the first byte as a cheap filter.
        const unsigned char first = byteAt(m_literal, 0);
        for (qsizetype pos = 0; pos + len <= n; pos += gbk::charLength(text, pos)) {
            if (lowerAscii(byteAt(text, pos)) == first && literalAt(text, pos))
                return true;
        }
        return false;
    }

    // Search bytes, then accept a hit only where a character starts. The
    // boundary walk only moves forward, so a row costs one pass at most.
    // string_view::find is memchr on the first byte and a compare: no set-up
    // per call, unlike memmem or a Boyer-Moore-Horspool searcher, which
    // matters on texts of a few hundred bytes.
    const std::string_view haystack(text.data(), size_t(n));
    const std::string_view needle(m_literal.constData(), size_t(len));
    qsizetype boundary = 0;
    for (size_t from = 0;; ++from) {
        from = haystack.find(needle, from);
        if (from == std::string_view::npos)
            return false;
        const qsizetype at = qsizetype(from);
        while (boundary < at)
            boundary += gbk::charLength(text, boundary);
        if (boundary == at && literalAt(text, at))
            return true;
    }
}

// Iterative matcher that remembers only the last '%': when a later step fails,
// that '%' takes one more character and matching resumes after it. Earlier
// '%'s never need to be revisited, so the work is at most steps times text
// characters, never exponential.
bool GbkLikePattern::matchGeneral(QByteArrayView text) const
{
    const qsizetype stepCount = qsizetype(m_steps.size());
    qsizetype si = 0, ti = 0;
    qsizetype starStep = -1, starText = -1;
    while (ti < text.size()) {
        if (si < stepCount) {
            const Step &step = m_steps[size_t(si)];
            if (step.token == Token::Any) {
                starStep = ++si;
                starText = ti;
                continue;
            }
            const int tlen = gbk::charLength(text, ti);
            if (step.token == Token::One) {
                ++si;
                ti += tlen;
                continue;
            }
            if (tlen == step.length) {
                const bool same = tlen == 1
                    ? lowerAscii(byteAt(text, ti)) == byteAt(m_literal, step.offset)
                    : std::memcmp(text.data() + ti, m_literal.constData() + step.offset, size_t(tlen)) == 0;
                if (same) {
                    ++si;
                    ti += tlen;
                    continue;
                }
            }
        }
        if (starStep < 0)
            return false;
        starText += gbk::charLength(text, starText);
        ti = starText;
        si = starStep;
    }
    while (si < stepCount && m_steps[size_t(si)].token == Token::Any)
        ++si;
    return si == stepCount;
}

bool GbkLikePattern::matches(QByteArrayView text) const
{
    switch (m_shape) {
    case Shape::Invalid:
    case Shape::Never:
        return false;
    case Shape::Anything:
        return true;
    case Shape::Exact:
        return text.size() == m_literal.size() && literalAt(text, 0);
    case Shape::Prefix:
        return literalAt(text, 0);
    case Shape::Suffix: {
        const qsizetype at = text.size() - m_literal.size();
        if (at < 0)
            return false;
        if (!m_hasLetters && std::memcmp(text.data() + at, m_literal.constData(), size_t(m_literal.size())) != 0)
            return false;
        qsizetype boundary = 0;
        while (boundary < at)
            boundary += gbk::charLength(text, boundary);
        return boundary == at && literalAt(text, at);
    }
    case Shape::Contains:
        return containsLiteral(text);
    case Shape::General:
        if (std::string_view(text.data(), size_t(text.size()))
                .find(std::string_view(m_required.constData(), size_t(m_required.size())))
            == std::string_view::npos)
            return false;
        return matchGeneral(text);
    }
    return false;
}

bool gbkLike(QByteArrayView pattern, QByteArrayView text, std::optional<QByteArrayView> escape)
{
    return GbkLikePattern(pattern, escape).matches(text);
}

namespace {

// The operand's bytes as stored. sqlite3_value_text promises a terminating
// NUL, which for a value still pointing into a page can cost a copy per row;
// the matcher needs no NUL, and the blob accessor never copies. Text comes
// unconverted in a UTF-8 database such as ours (whose "UTF-8" is really GBK),
// and numbers are turned into their text form as with the text accessor.
QByteArrayView valueView(sqlite3_value *value)
{
    const auto *data = static_cast<const char *>(sqlite3_value_blob(value));
    if (!data)
        return {};
    return QByteArrayView(data, sqlite3_value_bytes(value));
}

void deletePattern(void *pattern)
{
    delete static_cast<GbkLikePattern *>(pattern);
}

bool sameEscape(const std::optional<QByteArray> &a, const std::optional<QByteArrayView> &b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || QByteArrayView(*a) == *b;
}

// like(pattern, text[, escape]). The parsed pattern is kept as auxiliary data
// of the pattern argument, so a statement whose pattern is a literal or a
// bound parameter parses it once instead of once per row.
void likeFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return; // NULL result, as the built-in LIKE gives
    std::optional<QByteArrayView> escape;
    if (argc == 3) {
        if (sqlite3_value_type(argv[2]) == SQLITE_NULL)
            return;
        const QByteArrayView esc = valueView(argv[2]);
        if (!GbkLikePattern::isSingleCharacter(esc)) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = esc;
    }

    const QByteArrayView pattern = valueView(argv[0]);
    const int limit = sqlite3_limit(sqlite3_context_db_handle(context), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1);
    if (pattern.size() > limit) {
        sqlite3_result_error(context, "LIKE or GLOB pattern too complex", -1);
        return;
    }
    const QByteArrayView text = valueView(argv[1]);

    // SQLite drops the data when the argument changes; comparing the source as
    // well costs little and keeps a stale pattern from ever being used. The
    // escape is another argument, so it is checked here.
    const auto *cached = static_cast<const GbkLikePattern *>(sqlite3_get_auxdata(context, 0));
    if (cached && sameEscape(cached->escape(), escape) && QByteArrayView(cached->source()) == pattern) {
        sqlite3_result_int(context, cached->matches(text) ? 1 : 0);
        return;
    }
    auto parsed = std::make_unique<GbkLikePattern>(pattern, escape);
    sqlite3_result_int(context, parsed->matches(text) ? 1 : 0);
    // SQLite may free the data right away, so it is not touched after this.
    sqlite3_set_auxdata(context, 0, parsed.release(), deletePattern);
}

} // namespace

void installGbkLike(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr);
    sqlite3_create_function(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr);
}

} // namespace collection
