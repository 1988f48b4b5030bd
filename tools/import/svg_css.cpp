#include "import/svg_css.h"

#include <cctype>
#include <sstream>

namespace importer {

namespace {

std::string trim(const std::string& text) {
    auto begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

std::string withoutComments(const std::string& text) {
    std::string result;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t start = text.find("/*", pos);
        if (start == std::string::npos) start = text.size();
        result.append(text, pos, start - pos);
        std::size_t end = text.find("*/", start);
        pos = end == std::string::npos ? text.size() : end + 2;
    }
    return result;
}

bool simpleName(const std::string& name) {
    if (name.empty()) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_')) return false;
    return true;
}

}  // namespace

void CssRules::addSheet(const std::string& raw) {
    std::string text = withoutComments(raw);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t open = text.find('{', pos);
        if (open == std::string::npos) break;
        // The block ends at its matching brace, so nested at-rule blocks are skipped whole.
        std::size_t close = open + 1;
        for (int depth = 1; close < text.size() && depth > 0; ++close) {
            if (text[close] == '{') ++depth;
            if (text[close] == '}') --depth;
        }
        std::string selectors = trim(text.substr(pos, open - pos));
        std::string declarations = text.substr(open + 1, close - open - 2);
        pos = close;
        if (selectors.empty() || selectors[0] == '@') continue;
        std::stringstream list(selectors);
        std::string selector;
        while (std::getline(list, selector, ',')) {
            selector = trim(selector);
            Kind kind = Kind::Element;
            if (!selector.empty() && (selector[0] == '.' || selector[0] == '#')) {
                kind = selector[0] == '.' ? Kind::Class : Kind::Id;
                selector.erase(0, 1);
            }
            if (simpleName(selector)) m_rules.push_back({kind, selector, declarations});
        }
    }
}

void CssRules::apply(const std::string& element, const std::string& id, const std::string& classes,
                     SvgStyle& style) const {
    std::vector<std::string> classList;
    std::stringstream words(classes);
    for (std::string word; words >> word;) classList.push_back(word);
    for (Kind kind : {Kind::Element, Kind::Class, Kind::Id}) {
        for (const Rule& rule : m_rules) {
            if (rule.kind != kind) continue;
            bool matches = false;
            if (kind == Kind::Element) matches = rule.name == element;
            if (kind == Kind::Id) matches = !id.empty() && rule.name == id;
            if (kind == Kind::Class)
                for (const std::string& name : classList) matches = matches || rule.name == name;
            if (matches) style.applyStyleAttribute(rule.declarations);
        }
    }
}

}  // namespace importer
