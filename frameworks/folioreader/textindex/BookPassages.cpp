// Reading a book's documents with the reader's own reading of a page, so that a passage's place
// is where find in the book and the reader's places count it.
#include "frameworks/folioreader/textindex/BookPassages.h"

#include "frameworks/folioreader/epub/TableOfContents.h"
#include "frameworks/folioreader/search/FoldedText.h"
#include "frameworks/folioreader/search/PageSearch.h"
#include "frameworks/folioreader/search/readBodyPiece.h"
#include "platform/text/UTF8.h"

namespace folioreader {

namespace {

// The reading's sink: characters read as the page's text gathered into passages.
class PassageCutter {
public:
    static constexpr bool wantsBlocks = true;
    static constexpr bool wantsTextRuns = false;

    explicit PassageCutter(std::uint32_t document)
        : m_document(document)
    {
    }

    std::vector<Passage> passages;

    // Characters not read as text (a script's, a style's, a ruby reading's) are passed over: the
    // base text on either side of a reading is one word, and a script parts words by separate.
    void ascii(std::string_view run, const BodyPlace& place, bool matched)
    {
        if (!matched)
            return;
        for (std::size_t index = 0; index < run.size(); ++index)
            add(static_cast<unsigned char>(run[index]), place.utf16() + index);
    }
    void character(char32_t c, const BodyPlace& place, bool matched)
    {
        if (matched)
            add(c, place.utf16());
    }
    void separate(std::uint32_t) { space(); }
    void blockBreak(std::uint32_t)
    {
        if (m_characters >= shortestPassage)
            finish();
        else
            space();
    }
    void finish()
    {
        if (m_characters > 0) {
            passages.push_back({ m_document, m_offset, std::move(m_text) });
            // Grown a character at a time, the text kept up to twice its room: a large book's
            // passages are held whole until they are packed.
            passages.back().text.shrink_to_fit();
        }
        m_text.clear();
        m_characters = 0;
        m_space = false;
    }

private:
    void space() { m_space = m_characters > 0; }

    void add(char32_t c, std::uint64_t offset)
    {
        if (isSearchSpace(c)) {
            if (m_characters >= longestPassage)
                finish();
            space();
            return;
        }
        if (m_characters == 0)
            m_offset = offset;
        if (m_space) {
            m_text.push_back(' ');
            ++m_characters;
            m_space = false;
        }
        if (c < 0x80)
            m_text.push_back(char(c));
        else
            text::appendUTF8(m_text, c);
        ++m_characters;
        // Text without spaces (Chinese, Japanese) is cut where it grows far too long.
        if (m_characters >= 2 * longestPassage)
            finish();
    }

    std::uint32_t m_document;
    std::uint64_t m_offset = 0;
    std::string m_text;
    std::size_t m_characters = 0;
    bool m_space = false;
};

// Each document's chapter from the table of contents, carried on to the documents it lists not.
std::vector<std::string> chaptersOf(
    const std::vector<std::string>& documents, const std::vector<TocEntry>& contents)
{
    std::vector<std::string> chapters(documents.size());
    for (std::size_t index = 0; index < documents.size(); ++index) {
        for (const TocEntry& entry : contents) {
            if (entry.entryName == documents[index] && !entry.title.empty()) {
                chapters[index] = entry.title;
                break;
            }
        }
        if (chapters[index].empty() && index > 0)
            chapters[index] = chapters[index - 1];
    }
    return chapters;
}

}

std::vector<Passage> passagesOf(std::string_view xhtml, std::uint32_t document)
{
    std::string storage;
    xhtml = withLineFeeds(xhtml, storage);
    PassageCutter cutter(document);
    BodyPlace place;
    while (readBodyPiece(xhtml, place, cutter, 4096)) { }
    cutter.finish();
    return std::move(cutter.passages);
}

foundation::Result<BookPassages> readBookPassages(
    const EpubContainer& book, const PackageDocument& package, const std::function<bool()>& stopped)
{
    // The spine as the reader lists it: the documents the book holds, in its order.
    std::vector<std::string> documents;
    for (const SpineItem& itemref : package.spine) {
        const ManifestItem* item = package.item(itemref.idref);
        if (!item)
            continue;
        if (auto name = package.resolve(item->href))
            documents.push_back(std::move(*name));
    }
    if (documents.empty())
        return book.error("the package document lists no pages to read");

    BookPassages passages;
    passages.title = package.title;
    passages.author = package.creator;
    if (auto contents = readTableOfContents(book, package))
        passages.chapters = chaptersOf(documents, *contents);
    else
        passages.chapters.resize(documents.size());
    std::size_t read = 0;
    for (std::size_t index = 0; index < documents.size(); ++index) {
        if (read >= mostIndexedText) {
            passages.passedOver.push_back(
                book.error("the text from " + documents[index] + " on is past 64 MB")
                    .description());
            break;
        }
        if (stopped && stopped())
            return book.error("stopped");
        auto xhtml = book.read(documents[index], maximumDocumentSize);
        if (!xhtml) {
            passages.passedOver.push_back(xhtml.error().description());
            continue;
        }
        read += xhtml->size();
        auto found = passagesOf(*xhtml, std::uint32_t(index));
        passages.passages.insert(passages.passages.end(), std::make_move_iterator(found.begin()),
            std::make_move_iterator(found.end()));
    }
    return passages;
}

}
