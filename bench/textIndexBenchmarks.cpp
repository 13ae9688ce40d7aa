// The library's text index: building it from a library of real-size books of text (about 500 KB
// each, PAGEWYN_TEXT_BOOKS of them, 20 unless set), its size against the text, and the time of a
// search as typed (every prefix of 10 queries of 1 to 4 words, from three characters on, as the
// search field asks), its 50th and 90th percentiles as counters, and the 90th of the searching
// thread's CPU time, which other work on the machine changes less. A library of each size is
// written once and used again, with its index, in a folder of its own.
#include <benchmark/benchmark.h>

#include "bench/BookProse.h"
#include "frameworks/folioreader/textindex/TextIndex.h"
#include "frameworks/folioreader/textindex/updateTextIndex.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <time.h>
#include <tuple>
#include <vector>
#include <zlib.h>

namespace {

namespace fs = std::filesystem;

constexpr int chaptersPerBook = 10;
constexpr std::size_t chapterBytes = 50 * 1024;

std::size_t bookCount()
{
    const char* asked = std::getenv("PAGEWYN_TEXT_BOOKS");
    return asked ? std::size_t(std::max(1, std::atoi(asked))) : 20;
}

// The 100 MB and the 1 GB libraries are compared in turn: each keeps its own folder.
const std::string benchFolder
    = "/tmp/pagewyn-bench/text-index/" + std::to_string(bookCount()) + "-books";
const std::string libraryFolder = benchFolder + "/library";
const std::string indexPath = benchFolder + "/index.sqlite3";

BookProse& prose()
{
    static BookProse made;
    return made;
}

std::string bookPath(std::size_t number)
{
    return libraryFolder + "/book" + std::to_string(number) + ".epub";
}

// What the library folder holds, so that a library of the same size is used again: writing
// 1 GB of books takes longer than indexing it.
struct MadeLibrary {
    std::size_t books = 0;
    std::uint64_t textBytes = 0;
    double gzipRatio = 0; // of the text of the first books' chapters, deflated each on its own
};

constexpr int proseVersion = 2;
const std::string madeRecord = libraryFolder + "/made.txt";

// Unpacked books, each chapter of about 50 KB of paragraphs.
MadeLibrary writeLibrary()
{
    MadeLibrary made { bookCount(), 0, 0 };
    std::uint64_t sampled = 0, deflated = 0;
    std::mt19937 random(7);
    for (std::size_t number = 0; number < bookCount(); ++number) {
        const std::string book = bookPath(number);
        fs::create_directories(book + "/META-INF");
        fs::create_directories(book + "/OEBPS");
        std::ofstream(book + "/mimetype") << "application/epub+zip";
        std::ofstream(book + "/META-INF/container.xml")
            << R"(<?xml version="1.0"?><container version="1.0" )"
            << R"(xmlns="urn:oasis:names:tc:opendocument:xmlns:container"><rootfiles>)"
            << R"(<rootfile full-path="OEBPS/content.opf" )"
            << R"(media-type="application/oebps-package+xml"/></rootfiles></container>)";
        std::string manifest, spine;
        for (int chapter = 0; chapter < chaptersPerBook; ++chapter) {
            auto id = "c" + std::to_string(chapter);
            manifest += "<item id=\"" + id + "\" href=\"" + id
                + ".xhtml\" media-type=\"application/xhtml+xml\"/>";
            spine += "<itemref idref=\"" + id + "\"/>";
        }
        std::ofstream(book + "/OEBPS/content.opf")
            << R"(<?xml version="1.0"?><package xmlns="http://www.idpf.org/2007/opf" )"
            << R"(version="3.0" unique-identifier="id"><metadata )"
            << R"(xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:identifier id="id">b)" << number
            << "</dc:identifier><dc:title>Book " << number << "</dc:title></metadata><manifest>"
            << manifest << "</manifest><spine>" << spine << "</spine></package>";
        for (int chapter = 0; chapter < chaptersPerBook; ++chapter) {
            const std::string body = prose().chapter(random, chapter + 1, chapterBytes);
            made.textBytes += body.size();
            if (number < 20) {
                uLongf size = compressBound(uLong(body.size()));
                std::string packed(size, '\0');
                compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                    reinterpret_cast<const Bytef*>(body.data()), uLong(body.size()), 6);
                sampled += body.size();
                deflated += size;
            }
            std::ofstream(book + "/OEBPS/c" + std::to_string(chapter) + ".xhtml", std::ios::binary)
                << "<?xml version=\"1.0\" encoding=\"utf-8\"?><html "
                   "xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>c</title></head><body>\n"
                << body << "</body></html>\n";
        }
    }
    made.gzipRatio = double(deflated) / double(sampled);
    std::ofstream(madeRecord) << proseVersion << ' ' << made.books << ' ' << made.textBytes << ' '
                              << made.gzipRatio;
    return made;
}

std::vector<std::string> bookNames()
{
    std::vector<std::string> names;
    for (std::size_t number = 0; number < bookCount(); ++number)
        names.push_back("book" + std::to_string(number) + ".epub");
    return names;
}

const MadeLibrary& library()
{
    static MadeLibrary made = [] {
        int version = 0;
        MadeLibrary found;
        std::ifstream(madeRecord) >> version >> found.books >> found.textBytes >> found.gzipRatio;
        if (version == proseVersion && found.books == bookCount())
            return found;
        fs::remove_all(libraryFolder);
        return writeLibrary();
    }();
    return made;
}

void IndexBuild(benchmark::State& state)
{
    const auto textBytes = library().textBytes;
    const auto names = bookNames();
    std::uint64_t indexBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* ending : { "", "-wal", "-shm" })
            fs::remove(indexPath + ending);
        auto index = folioreader::TextIndex::open(indexPath);
        state.ResumeTiming();
        auto outcome
            = folioreader::updateTextIndex(*index, libraryFolder, names, { .unsettledWindow = {} });
        if (outcome.read != names.size())
            state.SkipWithError("not every book was indexed");
        state.PauseTiming();
        indexBytes = index->byteSize();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * textBytes));
    state.counters["textMB"] = double(textBytes) / 1e6;
    state.counters["indexMB"] = double(indexBytes) / 1e6;
    state.counters["indexPerText"] = double(indexBytes) / double(textBytes);
    state.counters["textGzip"] = library().gzipRatio;
}

void QueryAsTyped(benchmark::State& state)
{
    library();
    auto index = folioreader::TextIndex::open(indexPath);
    folioreader::updateTextIndex(*index, libraryFolder, bookNames(), { .unsettledWindow = {} });
    // Ten queries of one to four words, common and rare, a phrase, and one of Chinese; each typed
    // a character at a time.
    const auto& words = prose();
    auto phrase = [&](std::initializer_list<std::size_t> ranks) {
        std::string text;
        for (std::size_t rank : ranks)
            text += (text.empty() ? "" : " ") + words.word(rank);
        return text;
    };
    const std::vector<std::string> queries = { phrase({ 0 }), phrase({ 5, 900 }),
        phrase({ 40, 41, 3000 }), "\"" + phrase({ 2, 3 }) + "\"", phrase({ 12000 }),
        phrase({ 7, 70, 700, 7000 }), words.chinese(3) + words.chinese(10) + words.chinese(25),
        phrase({ 150, 15 }), phrase({ 1, 2 }), phrase({ 59999 }) };
    std::vector<std::string> typed;
    for (const auto& query : queries) {
        // Whole characters only, from the third.
        std::size_t characters = 0;
        for (std::size_t length = 1; length <= query.size(); ++length) {
            if (length < query.size() && (query[length] & 0xC0) == 0x80)
                continue;
            if (++characters >= 3)
                typed.push_back(query.substr(0, length));
        }
    }
    auto threadMilliseconds = [] {
        timespec now {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    };
    std::vector<double> times, cpuTimes;
    // The time, the thread's CPU time and what was typed.
    std::vector<std::tuple<double, double, std::string>> slowest;
    for (auto _ : state) {
        for (const auto& text : typed) {
            auto start = std::chrono::steady_clock::now();
            const double cpuStart = threadMilliseconds();
            auto query = folioreader::parsePassageQuery(text, folioreader::QueryWords::beingTyped);
            if (query)
                benchmark::DoNotOptimize(index->search(libraryFolder, *query, 20, 3));
            cpuTimes.push_back(threadMilliseconds() - cpuStart);
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
            slowest.emplace_back(times.back(), cpuTimes.back(), text);
        }
    }
    // The slowest searches, to see what makes them slow.
    std::sort(slowest.rbegin(), slowest.rend());
    const char* shown = std::getenv("PAGEWYN_TEXT_SLOWEST");
    const std::size_t shownCount = shown ? std::size_t(std::max(0, std::atoi(shown))) : 8;
    for (std::size_t index = 0; index < std::min(shownCount, slowest.size()); ++index) {
        const auto& [wall, cpu, text] = slowest[index];
        std::fprintf(stderr, "%8.1f ms %8.1f ms CPU  %s\n", wall, cpu, text.c_str());
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    state.counters["p50ms"] = times[times.size() / 2];
    state.counters["p90ms"] = times[times.size() * 9 / 10];
    state.counters["p90cpums"] = cpuTimes[cpuTimes.size() * 9 / 10];
    state.counters["maxms"] = times.back();
    state.counters["searches"] = double(typed.size());
}

}

BENCHMARK(IndexBuild)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(QueryAsTyped)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_MAIN();
