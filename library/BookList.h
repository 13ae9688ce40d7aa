// BookList: the program-wide ordered list of books the library table shows, row i being
// element i, with the three stable orders, a lookup of books by their file name, and each book's
// search key and details.
#pragma once

#include "library/Book.h"
#include "library/BookDetails.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class BookList {
public:
    std::size_t size() const { return m_books.size(); }
    bool empty() const { return m_books.empty(); }
    const Book& operator[](std::size_t index) const { return m_books[index]; }
    std::vector<Book>::const_iterator begin() const { return m_books.begin(); }
    std::vector<Book>::const_iterator end() const { return m_books.end(); }

    // Room for count books in all, so that a scan appending many grows the list once.
    void reserve(std::size_t count);
    void append(Book book);
    // The same, with the book's searchKeyOf already made (by a scan's reading thread) and its
    // details.
    void append(Book book, std::string searchKey, BookDetails details = {});
    void remove(std::size_t index);
    void clear();
    // The one field of a listed book that changes in place: its file, title and author stay as
    // they entered the list, so the lookup by file and the search key stay true.
    void setAdded(std::size_t index, foundation::Date added)
    {
        m_books[index].added = added;
        ++m_changes;
    }

    // Grows with every change of the list (a book added, removed, reordered, or its date moved),
    // so a view kept beside the list knows when to make itself again.
    std::uint64_t changeCount() const { return m_changes; }

    // The first book whose file is canonically equal to the name (Unicode-equivalent spellings
    // of one name are one book). Constant time on average: the lookup table is rebuilt only
    // after the list was reordered.
    std::optional<std::size_t> find(const std::string& file) const;

    // The book's title and author in search folding, joined by a line break (which folding never
    // leaves in a text): folded once, when the book entered the list, and moved along with it.
    const std::string& searchKey(std::size_t index) const { return m_searchKeys[index]; }
    static std::string searchKeyOf(const std::string& title, const std::string& author);
    // What the book's package said of it besides its title and author, when it entered the list.
    const BookDetails& details(std::size_t index) const { return m_details[index]; }

    // Stable sorts, in place: latest added first; by title; by author (text order of NFC forms).
    void sortByRecency();
    void sortByTitle();
    void sortByAuthor();

    // Rearranges the list so that new element k is old element order[k]; order is a permutation.
    void reorder(const std::vector<std::size_t>& order);

    // The same stable sorts of positions in the list, leaving the list as it is: positions in
    // the order they would take if the list were in positions' order and then sorted.
    std::vector<std::size_t> orderedByRecency(std::vector<std::size_t> positions) const;
    std::vector<std::size_t> orderedByTitle(const std::vector<std::size_t>& positions) const;
    std::vector<std::size_t> orderedByAuthor(const std::vector<std::size_t>& positions) const;
    // 0, 1, … size() - 1.
    std::vector<std::size_t> positions() const;

    // Whether another book of the list has the same title and author, so that its row must say
    // more to be told apart. Constant time: the books of each title and author are counted as
    // they enter and leave the list.
    bool hasNamesake(std::size_t index) const;

private:
    static std::uint64_t namesakeKey(const Book& book);

    std::vector<std::size_t> orderedByText(
        std::string Book::*key, const std::vector<std::size_t>& positions) const;

    std::vector<Book> m_books;
    std::vector<std::string> m_searchKeys;
    std::vector<BookDetails> m_details;
    mutable std::unordered_map<std::string, std::size_t> m_positionByFile;
    mutable bool m_positionsValid = false;
    // Books by a digest of their title and author (a rare collision only makes a row say more).
    std::unordered_map<std::uint64_t, std::uint32_t> m_namesakes;
    std::uint64_t m_changes = 0;
};

// The book list of the program: empty at start, in memory only.
BookList& bookList();
