#include "convert/NamePattern.h"

#include <cstdio>

namespace talvore {
namespace {

int Digits(int value) {
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

} // namespace

std::optional<NamePattern> NamePattern::Parse(const std::string& text, bool commonFolder,
                                              std::string* error) {
    auto refuse = [&](const std::string& why) -> std::optional<NamePattern> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (text.empty())
        return refuse("the name pattern is empty");
    if (text.find('/') != std::string::npos || text.find('\0') != std::string::npos)
        return refuse("a name pattern cannot hold '/'");
    NamePattern pattern;
    pattern.m_text = text;
    bool number = false, title = false;
    std::string literal;
    char lastField = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            literal += text[i];
            continue;
        }
        if (i + 1 == text.size())
            return refuse("the name pattern ends in a lone '%'");
        const char token = text[++i];
        if (token == '%') {
            literal += '%';
            continue;
        }
        if (token != 't' && token != 'p' && token != 'n' && token != 'o')
            return refuse(std::string("unknown token '%") + token +
                          "' in the name pattern (known: %t %p %n %o %%)");
        // Two fields of varying width with nothing but digits between them
        // cannot be told apart: "a1" + "000" and "a" + "1000" both give
        // "a1000". The page has one width in a document, so it may touch a
        // number; a title's neighbour may not.
        const bool fixedPair = (token == 'p' && (lastField == 'n' || lastField == 'o')) ||
                               (lastField == 'p' && (token == 'n' || token == 'o'));
        if (lastField != 0 && !fixedPair &&
            literal.find_first_not_of("0123456789") == std::string::npos)
            return refuse(std::string("%") + lastField + " and %" + token +
                          " need something other than digits between them in the name pattern: "
                          "without it two images could share a name");
        lastField = token;
        number = number || token == 'n';
        title = title || token == 't';
        if (!literal.empty())
            pattern.m_pieces.push_back({0, std::move(literal)});
        literal.clear();
        pattern.m_pieces.push_back({token, {}});
    }
    if (!literal.empty())
        pattern.m_pieces.push_back({0, std::move(literal)});
    if (!number)
        return refuse("the name pattern must hold %n: without it two images would share a name");
    if (commonFolder && !title)
        return refuse("with one output folder for every document the name pattern must hold "
                      "%t: without it two documents would share names");
    return pattern;
}

std::string NamePattern::Expand(const std::string& title, int page, int pageCount, int number,
                                int object) const {
    std::string name;
    char digits[32];
    for (const Piece& piece : m_pieces) {
        switch (piece.Token) {
        case 't':
            name += title;
            break;
        case 'p':
            std::snprintf(digits, sizeof digits, "%0*d", Digits(pageCount), page);
            name += digits;
            break;
        case 'n':
            std::snprintf(digits, sizeof digits, "%03d", number);
            name += digits;
            break;
        case 'o':
            if (object < 0) {
                name += "inline";
            } else {
                std::snprintf(digits, sizeof digits, "%d", object);
                name += digits;
            }
            break;
        default:
            name += piece.Text;
        }
    }
    return name;
}

size_t NamePattern::LongestName(size_t titleLength, int pageCount) const {
    size_t length = 0;
    for (const Piece& piece : m_pieces) {
        switch (piece.Token) {
        case 't':
            length += titleLength;
            break;
        case 'p':
            length += static_cast<size_t>(Digits(pageCount));
            break;
        case 'n':
        case 'o':
            length += 10; // INT_MAX
            break;
        default:
            length += piece.Text.size();
        }
    }
    return length;
}

} // namespace talvore
