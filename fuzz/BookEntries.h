// BookEntries: an unpacked book as one fuzz input — its files one after the other, each opened
// by a line "=== <name>" — and the writing of such an input into a folder. The framing is text,
// so the seeds stay readable and the fuzzer mutates names and contents alike.
//
//     === META-INF/container.xml
//     <?xml version="1.0"?>...
//     === OEBPS/content.opf
//     <package ...>...
#pragma once

#include "tests/support/EpubFixture.h"

#include <string>
#include <string_view>
#include <vector>

namespace fuzzing {

// A name inside the book and its bytes: the same entries the tests' book builder makes.
using BookEntry = fixtures::Entry;

std::string encodeEntries(const std::vector<BookEntry>& entries);
// The entries of an input, in order; bytes before the first header are ignored.
std::vector<BookEntry> decodeEntries(std::string_view input);

// Writes the entries into the folder at root (created). The harness itself must never write
// outside it, so names that are empty, absolute, climb with "..", hold a NUL or a long segment,
// or nest deeper than a real book are skipped, as are entries whose path clashes with one
// written before. Only regular files and folders are made.
void writeEntries(const std::vector<BookEntry>& entries, const std::string& root);

}
