// The catalog for reading apps: a page of each feed of a library of 100,000 books against the
// same page of a library of 1,000 books, in the same run; the bound is twice the time.
#include "app/LibraryCatalog.h"
#include "bench/CollectingReporter.h"
#include "platform/host/opds/AtomFeed.h"
#include "platform/host/opds/CatalogRoutes.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <random>

namespace {

// Books with varied titles, authors among a few thousand, and dates, in listing order.
BookList library(std::size_t count)
{
    std::mt19937 random(7);
    BookList books;
    books.reserve(count);
    for (std::size_t n = 0; n < count; ++n) {
        auto title = "Title " + std::to_string(random() % 1000000) + " of " + std::to_string(n);
        auto author = "Author " + std::to_string(random() % 3000);
        books.append({ title, author, "book-" + std::to_string(n) + ".epub",
            foundation::Date::fromTimeIntervalSince1970(1.6e9 + random() % 100000000) });
    }
    return books;
}

// One page from the middle of each feed, written as the catalog sends it.
void CatalogPages(benchmark::State& state)
{
    auto books = library(static_cast<std::size_t>(state.range(0)));
    LibraryCatalog catalog(books);
    using Order = host::CatalogLibrary::Order;
    auto middle = books.size() / 2;
    // The orders are made when the list changes, not per page.
    catalog.books(Order::title, 0, 1);
    auto author = catalog.authors(0, 1).items.front().name;
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (auto order : { Order::recent, Order::title }) {
            host::AtomFeed feed(
                host::AtomFeed::Kind::acquisition, "urn:bench", "Bench", "/opds/bench");
            auto page = catalog.books(order, middle, host::catalogPageSize);
            feed.paging(middle / host::catalogPageSize + 1, page.total / host::catalogPageSize + 1,
                page.total, host::catalogPageSize);
            for (auto& book : page.items)
                feed.bookEntry(book);
            bytes += feed.xml().size();
        }
        host::AtomFeed authors(
            host::AtomFeed::Kind::navigation, "urn:bench", "Bench", "/opds/bench");
        for (auto& each : catalog.authors(0, host::catalogPageSize).items)
            authors.navigationEntry(
                each.name, each.name, "/opds/author", host::AtomFeed::Kind::acquisition, "books");
        host::AtomFeed own(host::AtomFeed::Kind::acquisition, "urn:bench", "Bench", "/opds/bench");
        for (auto& book : catalog.booksBy(author, 0, host::catalogPageSize).items)
            own.bookEntry(book);
        bytes += authors.xml().size() + own.xml().size();
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(CatalogPages)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0)
    ->UseRealTime();

}

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    bench::CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    double small = reporter.secondsStartingWith("CatalogPages/1000/");
    double large = reporter.secondsStartingWith("CatalogPages/100000/");
    double ratio = small > 0 ? large / small : 0;
    bool met = ratio > 0 && ratio <= 2.0;
    std::printf("\n%-66s %10s %10s\n", "target", "measured", "bound");
    std::printf("%-66s %9.2fx %10s  %s\n",
        "a page of each catalog feed at 100,000 books, time vs 1,000 books", ratio, "<= 2x",
        met ? "met" : "MISSED");
    return met ? 0 : 1;
}
