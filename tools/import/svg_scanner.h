#pragma once
// Reads the numbers, flags and separators of SVG attribute micro-syntaxes (path data, points,
// transforms, viewBox) without depending on the C locale.

#include <cstddef>
#include <string>

namespace importer {

class SvgScanner {
public:
    explicit SvgScanner(const std::string& text) : m_text(text) {}

    // Skips white space and at most one comma (with white space around it).
    void skipSeparators();
    void skipSpaces();
    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }
    char take() { return atEnd() ? '\0' : m_text[m_pos++]; }
    std::size_t position() const { return m_pos; }
    // Whether a number could start here (sign, digit or decimal point).
    bool atNumber() const;

    // A number such as "-.5", "1e-3" or "12."; false (position unchanged) when none is here or it
    // is not finite.
    bool readNumber(double& value);
    // An arc flag: a single '0' or '1', which needs no separator after it.
    bool readFlag(bool& value);

    // A short piece of the text from `from`, to quote in error messages.
    std::string excerpt(std::size_t from) const;

private:
    const std::string& m_text;
    std::size_t m_pos = 0;
};

}  // namespace importer
