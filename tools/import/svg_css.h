#pragma once
// Style sheets inside the drawing (<style>), as editors write them for shared styles:
// ".st0{fill:none;stroke:#000}". Only simple selectors count (element name, .class, #id, and
// lists of them); rules with combinators, pseudo-classes or at-rules are passed over.

#include <string>
#include <vector>

#include "import/svg_style.h"

namespace importer {

class CssRules {
public:
    void addSheet(const std::string& text);
    bool empty() const { return m_rules.empty(); }
    // Applies the matching rules to `style`: element names first, then classes, then ids, each in
    // the sheet's order, so the more specific selector wins.
    void apply(const std::string& element, const std::string& id, const std::string& classes, SvgStyle& style) const;

private:
    enum class Kind { Element = 0, Class = 1, Id = 2 };
    struct Rule {
        Kind kind;
        std::string name;
        std::string declarations;
    };
    std::vector<Rule> m_rules;
};

}  // namespace importer
