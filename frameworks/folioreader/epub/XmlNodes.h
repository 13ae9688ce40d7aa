// How a book's XML documents are read: the one set of parse options (which never expands what a
// document type declares) and elements found by their name without its prefix.
#pragma once

#include <pugixml.hpp>
#include <string_view>

namespace folioreader {

// Entities and CDATA are decoded; comments, processing instructions and the doctype are skipped,
// and nothing a DTD declares is ever expanded.
constexpr unsigned xmlParseOptions = pugi::parse_minimal | pugi::parse_escapes | pugi::parse_cdata;

// A qualified name (an element's, an attribute's) without its namespace prefix.
std::string_view localName(std::string_view qualifiedName);
std::string_view localName(pugi::xml_node node);
// Whether the node is an element of that name, whatever its prefix.
bool isElement(pugi::xml_node node, std::string_view name);
// The first child element of that name, whatever its prefix; an empty node when there is none.
pugi::xml_node childNamed(pugi::xml_node parent, std::string_view name);

}
