#include "import/svg_scanner.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace importer {

namespace {

constexpr std::size_t kExcerptLength = 24;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void SvgScanner::skipSpaces() {
    while (!atEnd() && isSpace(m_text[m_pos])) ++m_pos;
}

void SvgScanner::skipSeparators() {
    skipSpaces();
    if (peek() == ',') {
        ++m_pos;
        skipSpaces();
    }
}

bool SvgScanner::atNumber() const {
    char c = peek();
    return isDigit(c) || c == '-' || c == '+' || c == '.';
}

bool SvgScanner::readNumber(double& value) {
    std::size_t p = m_pos;
    const std::size_t n = m_text.size();
    if (p < n && (m_text[p] == '+' || m_text[p] == '-')) ++p;
    std::size_t digits = 0;
    while (p < n && isDigit(m_text[p])) ++p, ++digits;
    if (p < n && m_text[p] == '.') {
        ++p;
        while (p < n && isDigit(m_text[p])) ++p, ++digits;
    }
    if (digits == 0) return false;
    // An exponent only counts when digits follow it.
    if (p < n && (m_text[p] == 'e' || m_text[p] == 'E')) {
        std::size_t q = p + 1;
        if (q < n && (m_text[q] == '+' || m_text[q] == '-')) ++q;
        if (q < n && isDigit(m_text[q])) {
            while (q < n && isDigit(m_text[q])) ++q;
            p = q;
        }
    }
    // from_chars takes no leading '+'.
    std::size_t start = m_pos + (m_text[m_pos] == '+' ? 1 : 0);
    double parsed = 0;
    auto result = std::from_chars(m_text.data() + start, m_text.data() + p, parsed);
    if (result.ec != std::errc() || result.ptr != m_text.data() + p || !std::isfinite(parsed)) return false;
    value = parsed;
    m_pos = p;
    return true;
}

bool SvgScanner::readFlag(bool& value) {
    char c = peek();
    if (c != '0' && c != '1') return false;
    value = c == '1';
    ++m_pos;
    return true;
}

std::string SvgScanner::excerpt(std::size_t from) const {
    if (from >= m_text.size()) return "end of text";
    std::string piece = m_text.substr(from, kExcerptLength);
    for (char& c : piece)
        if (!std::isprint(static_cast<unsigned char>(c))) c = '?';
    return "\"" + piece + (from + kExcerptLength < m_text.size() ? "...\"" : "\"");
}

}  // namespace importer
