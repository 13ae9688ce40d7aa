// Elements of a book's XML documents by their names without prefixes.
#include "frameworks/folioreader/epub/XmlNodes.h"

namespace folioreader {

std::string_view localName(std::string_view qualifiedName)
{
    std::size_t colon = qualifiedName.find(':');
    return colon == std::string_view::npos ? qualifiedName : qualifiedName.substr(colon + 1);
}

std::string_view localName(pugi::xml_node node)
{
    return localName(std::string_view(node.name()));
}

bool isElement(pugi::xml_node node, std::string_view name)
{
    return node.type() == pugi::node_element && localName(node) == name;
}

pugi::xml_node childNamed(pugi::xml_node parent, std::string_view name)
{
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (isElement(child, name))
            return child;
    }
    return {};
}

}
