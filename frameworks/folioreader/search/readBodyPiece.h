// Reading the body text of a page (XHTML) a piece at a time, from its start or from any place an
// earlier reading passed: tags skipped, comments and CDATA sections dropped (the page's text has
// neither), entities decoded, the text of scripts and styles counted but marked as never matched,
// and ruby readings (rt, rp) counted but passed over, so a word with readings over it is found as
// its letters stand. What becomes of the characters is the sink's: kept for showing a match, or
// only counted while looking for one.
#pragma once

#include "frameworks/folioreader/search/FoldedText.h"
#include "frameworks/folioreader/search/HiddenElements.h"

#include <cstdint>
#include <string_view>
#include <utf8proc.h>

namespace folioreader {

// Where a reading of a page stands: all it needs to read on from there.
struct BodyPlace {
    std::size_t at = 0; // the next byte of the page
    std::uint32_t character = 0; // the body's characters before it
    std::uint32_t astral = 0; // of those, the ones beyond the Basic Multilingual Plane
    bool inBody = false;
    int hidden = 0; // inside this many scripts and styles
    int reading = 0; // inside this many ruby readings
    // Inside an element the book hides: its name, and how many elements of that name are open
    // (itself too). Only they are counted, so an end tag left unsaid inside hides no more.
    std::string_view concealedName;
    int concealed = 0;

    // Where the next character starts in UTF-16 code units, as the reader counts.
    std::uint64_t utf16() const { return std::uint64_t(character) + astral; }
    // Whether the characters here are read as the page's text (neither script, style, reading nor
    // hidden by the book).
    bool read() const { return hidden == 0 && reading == 0 && concealed == 0; }
};

// The character a reference's name stands for ("amp", "mdash", "#x301"), or 0.
char32_t decodeEntity(std::string_view name);

// The end of the text from at on: the first '<' or '&', or the page's end. The end of its plain
// ASCII: the first '<', '&' or byte beyond ASCII.
enum class TextKind { any, plainAscii };
std::size_t textEnd(std::string_view xhtml, std::size_t at, TextKind kind = TextKind::any);

// The characters of a text (as counted when read) and those of them beyond the Basic
// Multilingual Plane.
struct TextCount {
    std::uint32_t characters = 0;
    std::uint32_t astral = 0;
};

// A text read by a sink that finds its end itself: its characters and its length in bytes.
struct TextRun {
    TextCount count;
    std::size_t length = 0;
};

// What a tag (its text between the angle brackets) does to the reading: scripts, styles, ruby
// readings and blocks count only inside the body, and blocks only when asked for.
enum class TagKind {
    other,
    bodyStart,
    bodyEnd,
    hidingStart,
    hidingEnd,
    readingStart,
    readingEnd,
    rubyEnd,
    block
};
TagKind tagKind(std::string_view tag, bool inBody, bool wantsBlocks);

// Follows a tag of the body into and out of the elements the book hides (none when hidden is
// null): their text is counted but never matched, and passed over by matches like a reading.
void followHiding(std::string_view tag, BodyPlace& place, const HiddenElements* hidden);

// Reads the piece of the page at place — a tag, a comment, an entity, a character, or a run of
// plain ASCII of at most longestRun bytes — hands what it holds to the sink, and moves place past
// it. The elements hidden (when given) hold text that is counted but never matched. Answers false
// at the page's end. The sink has:
//   ascii(run, place, matched)       a run of plain ASCII characters, place being before it
//   character(c, place, matched)     any other character
//   separate(character)              a script or style starts or ends there: no match crosses it
//                                    (a ruby reading is passed over by matches: none is called)
//   blockBreak(character)            a block (paragraph, heading, line break) starts there; called
//                                    only when Sink::wantsBlocks
//   text(rest, place, matched)       when Sink::wantsTextRuns, in place of ascii and character: the
//                                    page from place on, whose text up to the next '<' or '&' (past
//                                    its first byte) the sink reads at once; answers its TextRun
//                                    (bytes that are not UTF-8 are skipped, uncounted)
template <class Sink>
bool readBodyPiece(std::string_view xhtml, BodyPlace& place, Sink& sink,
    std::size_t longestRun = std::string_view::npos, const HiddenElements* hidden = nullptr)
{
    auto& at = place.at;
    if (at >= xhtml.size())
        return false;
    auto character = [&](char32_t c, std::size_t length) {
        sink.character(c, place, place.read());
        ++place.character;
        place.astral += c > 0xFFFF;
        at += length;
    };
    auto decodeAt = [&](std::size_t end) {
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(xhtml.data() + at),
            utf8proc_ssize_t(end - at), &point);
        if (length <= 0)
            ++at; // not UTF-8: skipped
        else
            character(char32_t(point), std::size_t(length));
    };
    char c = xhtml[at];
    if (c == '<') {
        // Comments and CDATA sections start "<!"; most tags do not.
        const bool declaration = at + 1 < xhtml.size() && xhtml[at + 1] == '!';
        if (declaration && xhtml.compare(at, 4, "<!--") == 0) {
            auto end = xhtml.find("-->", at + 4);
            at = end == std::string_view::npos ? xhtml.size() : end + 3;
            return true;
        }
        // The page holds a CDATA section as a node of its own, which its text (what the reader
        // counts and marks) leaves out: so does the reading.
        if (declaration && xhtml.compare(at, 9, "<![CDATA[") == 0) {
            auto end = xhtml.find("]]>", at + 9);
            at = end == std::string_view::npos ? xhtml.size() : end + 3;
            return true;
        }
        auto end = xhtml.find('>', at);
        if (end == std::string_view::npos) {
            at = xhtml.size();
            return false;
        }
        auto tag = xhtml.substr(at + 1, end - at - 1);
        if (place.inBody)
            followHiding(tag, place, hidden);
        switch (tagKind(tag, place.inBody, Sink::wantsBlocks)) {
        case TagKind::bodyStart:
            place.inBody = true;
            break;
        case TagKind::bodyEnd:
            place.inBody = false;
            break;
        case TagKind::hidingStart:
            ++place.hidden;
            sink.separate(place.character);
            break;
        case TagKind::hidingEnd:
            place.hidden = std::max(0, place.hidden - 1);
            sink.separate(place.character);
            break;
        case TagKind::readingStart:
            ++place.reading;
            break;
        case TagKind::readingEnd:
            place.reading = std::max(0, place.reading - 1);
            break;
        case TagKind::rubyEnd:
            // A reading left open (HTML lets "</rt>" go unsaid) ends with its ruby.
            place.reading = 0;
            break;
        case TagKind::block:
            if constexpr (Sink::wantsBlocks)
                sink.blockBreak(place.character);
            break;
        case TagKind::other:
            break;
        }
        at = end + 1;
        return true;
    }
    if (!place.inBody) {
        // Only a tag can start the body.
        auto next = xhtml.find('<', at);
        at = next == std::string_view::npos ? xhtml.size() : next;
        return true;
    }
    if (c == '&') {
        auto semicolon = xhtml.find(';', at);
        if (semicolon != std::string_view::npos && semicolon - at <= 12) {
            if (char32_t decoded = decodeEntity(xhtml.substr(at + 1, semicolon - at - 1))) {
                character(decoded, semicolon + 1 - at);
                return true;
            }
        }
    }
    if constexpr (Sink::wantsTextRuns) {
        auto run = sink.text(xhtml.substr(at), place, place.read());
        place.character += run.count.characters;
        place.astral += run.count.astral;
        at += std::max<std::size_t>(1, run.length);
    } else if (static_cast<unsigned char>(c) < 0x80) {
        auto end = textEnd(xhtml, at + 1, TextKind::plainAscii);
        if (end - at > longestRun)
            end = at + std::max<std::size_t>(1, longestRun);
        sink.ascii(xhtml.substr(at, end - at), place, place.read());
        place.character += std::uint32_t(end - at);
        at = end;
    } else {
        decodeAt(xhtml.size());
    }
    return true;
}

}
