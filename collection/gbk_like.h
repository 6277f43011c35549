#pragma once
// LIKE over GBK text. SQLite's built-in LIKE reads its operands as UTF-8, which
// GBK bytes are not, so it matches nearly every row for a Chinese term. This
// matcher walks whole GBK/GB18030 characters instead and replaces the built-in
// function on our connection.

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <vector>

struct sqlite3;

namespace collection {

// A LIKE pattern parsed once and matched against many texts.
//
// '%' matches any run of characters, '_' exactly one character, ASCII letters
// match regardless of case, everything else by whole GBK/GB18030 character. A
// byte such as 0x5F or 0x7C that is the second byte of a two-byte character is
// never a wildcard. With an escape character, the character after it is
// matched literally; a pattern that ends in a lone escape matches nothing (as
// SQLite's LIKE does). The escape takes precedence over '%' and '_' when it is
// one of them.
//
// Matching takes at most pattern length times text length steps, whatever the
// pattern; the common shapes "%term%", "term%", "%term" and "term" are found by
// a byte search instead.
class GbkLikePattern
{
public:
    // escape, when given, must be exactly one whole GBK/GB18030 character
    // (see isSingleCharacter); otherwise the pattern is invalid and matches
    // nothing.
    explicit GbkLikePattern(QByteArrayView pattern,
                            std::optional<QByteArrayView> escape = std::nullopt);

    bool isValid() const { return m_shape != Shape::Invalid; }
    bool matches(QByteArrayView text) const;

    const QByteArray &source() const { return m_source; }
    const std::optional<QByteArray> &escape() const { return m_escape; }

    static bool isSingleCharacter(QByteArrayView bytes);

private:
    enum class Shape : unsigned char {
        Invalid,   // bad escape character
        Never,     // ends in a lone escape
        Anything,  // only '%'
        Exact,     // literal
        Prefix,    // literal%
        Suffix,    // %literal
        Contains,  // %literal%
        General,   // anything with '_' or '%' between literal characters
    };
    enum class Token : unsigned char { Any, One, Char };
    struct Step
    {
        Token token;
        unsigned char length; // bytes of the character, for Char
        qsizetype offset;     // into m_literal, for Char
    };

    bool literalAt(QByteArrayView text, qsizetype pos) const;
    bool containsLiteral(QByteArrayView text) const;
    bool matchGeneral(QByteArrayView text) const;
    void chooseRequiredRun();

    QByteArray m_source;
    std::optional<QByteArray> m_escape;
    Shape m_shape = Shape::Invalid;
    // The literal characters of the pattern in order, ASCII letters in lower
    // case; for the byte-search shapes it is the whole literal.
    QByteArray m_literal;
    // True when m_literal holds a one-byte letter, whose byte in the text is
    // compared without regard to case: the byte search cannot be used then.
    bool m_hasLetters = false;
    std::vector<Step> m_steps;
    // For the general shape: the longest run of the pattern's characters that
    // every matching text holds byte for byte (no letters, whose case may
    // differ). Texts without it are turned away by one byte search.
    QByteArray m_required;
};

// pattern LIKE text, with the rules of GbkLikePattern.
bool gbkLike(QByteArrayView pattern, QByteArrayView text,
             std::optional<QByteArrayView> escape = std::nullopt);

// Registers like(X,Y) and like(X,Y,Z) on the connection in place of the
// built-in ones. NULL operands give NULL; an escape that is not one character
// is an error, as with the built-in function.
void installGbkLike(sqlite3 *db);

} // namespace collection
