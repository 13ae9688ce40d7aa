// Which elements of a page the book hides (display: none), so that what they hold is not found:
// those with the hidden attribute or a style attribute that says so, and those that a rule of the
// page's style sheets hides by a selector of a name, classes and an id. A rule with any other
// selector, or inside an at-rule (a medium, a condition), hides nothing here: text is rather found
// where it is not shown than lost where it is.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folioreader {

class HiddenElements {
public:
    // The rules of a style sheet by a link's address as written; none where it cannot be read.
    // A book's pages link the same few sheets: each is read once for all of them.
    using StyleSheetRules
        = std::function<std::shared_ptr<const HiddenElements>(std::string_view href)>;
    // The rules of the page's own style elements and of the style sheets it links.
    static HiddenElements ofPage(std::string_view xhtml, const StyleSheetRules& rulesOf);

    void addStyleSheet(std::string_view css);
    void add(const HiddenElements& other);
    // Whether the element a start tag opens is hidden; tag is the text between '<' and '>'.
    bool hides(std::string_view tag) const;

private:
    struct Selector {
        std::string name; // empty for any
        std::vector<std::string> classes;
        std::string id;
    };
    std::vector<Selector> m_selectors;
};

}
