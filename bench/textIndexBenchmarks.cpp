// The library's text index: building it from a library of real-size books of text (about 500 KB
// each, PAGEWYN_TEXT_BOOKS of them, 20 unless set), its size against the text, and the time of a
// search as typed (every prefix of 10 queries of 1 to 4 words, at least three characters long),
// its 50th and 90th percentiles as counters.
#include <benchmark/benchmark.h>

#include "frameworks/folioreader/textindex/TextIndex.h"
#include "frameworks/folioreader/textindex/updateTextIndex.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string libraryFolder = "/tmp/pagewyn-bench/text-index/library";
const std::string indexPath = "/tmp/pagewyn-bench/text-index/index.sqlite3";
constexpr int chaptersPerBook = 10;
constexpr std::size_t chapterBytes = 50 * 1024;

std::size_t bookCount()
{
    const char* asked = std::getenv("PAGEWYN_TEXT_BOOKS");
    return asked ? std::size_t(std::max(1, std::atoi(asked))) : 20;
}

// Words of a made-up language, drawn with Zipf-like weights, so common words are common and most
// are rare, as in books; one paragraph in 50 is Chinese.
class Words {
public:
    Words()
    {
        std::mt19937 random(11);
        const std::string letters = "abcdefghijklmnoprstuvwy";
        for (int index = 0; index < 20000; ++index) {
            std::string word;
            int length = 2 + int(random() % 9);
            for (int letter = 0; letter < length; ++letter)
                word += letters[random() % letters.size()];
            m_words.push_back(word);
        }
        std::vector<double> weights;
        for (std::size_t rank = 1; rank <= m_words.size(); ++rank)
            weights.push_back(1.0 / double(rank));
        m_pick = std::discrete_distribution<std::size_t>(weights.begin(), weights.end());
    }
    const std::string& next(std::mt19937& random) { return m_words[m_pick(random)]; }
    const std::string& at(std::size_t rank) const { return m_words[rank]; }

private:
    std::vector<std::string> m_words;
    std::discrete_distribution<std::size_t> m_pick;
};

Words& words()
{
    static Words made;
    return made;
}

std::string bookPath(std::size_t number)
{
    return libraryFolder + "/book" + std::to_string(number) + ".epub";
}

// Unpacked books, each chapter of about 50 KB of paragraphs.
std::uint64_t writeLibrary()
{
    std::uint64_t textBytes = 0;
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
            << R"(xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:identifier id="id">b)"
            << number << "</dc:identifier><dc:title>Book " << number
            << "</dc:title></metadata><manifest>" << manifest << "</manifest><spine>" << spine
            << "</spine></package>";
        for (int chapter = 0; chapter < chaptersPerBook; ++chapter) {
            std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?><html "
                               "xmlns=\"http://www.w3.org/1999/xhtml\">"
                               "<head><title>c</title></head><body>\n";
            std::size_t start = text.size();
            for (int paragraph = 0; text.size() - start < chapterBytes; ++paragraph) {
                text += "<p>";
                if (paragraph % 50 == 49) {
                    const std::string characters = "我们今天去东京都厅参观天气很好人很多";
                    for (int n = 0; n < 200; ++n)
                        text += characters.substr(3 * (random() % 18), 3)
                            + (n % 20 == 19 ? "。" : "");
                } else {
                    for (int n = 0; n < 90; ++n)
                        text += words().next(random) + (n % 12 == 11 ? ". " : " ");
                }
                text += "</p>\n";
            }
            textBytes += text.size() - start;
            text += "</body></html>\n";
            std::ofstream(book + "/OEBPS/c" + std::to_string(chapter) + ".xhtml", std::ios::binary)
                << text;
        }
    }
    return textBytes;
}

std::vector<std::string> bookNames()
{
    std::vector<std::string> names;
    for (std::size_t number = 0; number < bookCount(); ++number)
        names.push_back("book" + std::to_string(number) + ".epub");
    return names;
}

std::uint64_t& libraryTextBytes()
{
    static std::uint64_t bytes = [] {
        fs::remove_all(libraryFolder);
        return writeLibrary();
    }();
    return bytes;
}

void IndexBuild(benchmark::State& state)
{
    const auto textBytes = libraryTextBytes();
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
}

void QueryAsTyped(benchmark::State& state)
{
    libraryTextBytes();
    auto index = folioreader::TextIndex::open(indexPath);
    folioreader::updateTextIndex(*index, libraryFolder, bookNames(), { .unsettledWindow = {} });
    // Ten queries of one to four words, common and rare, and one of Chinese.
    auto& made = words();
    const std::vector<std::string> queries = { made.at(0), made.at(5) + " " + made.at(900),
        made.at(40) + " " + made.at(41) + " " + made.at(3000),
        "\"" + made.at(2) + " " + made.at(3) + "\"", made.at(12000),
        made.at(7) + " " + made.at(70) + " " + made.at(700) + " " + made.at(7000), "东京都",
        made.at(150) + " " + made.at(15), made.at(1) + " " + made.at(2), made.at(19999) };
    std::vector<std::string> typed;
    for (const auto& query : queries) {
        for (std::size_t length = 3; length <= query.size(); ++length)
            typed.push_back(query.substr(0, length));
    }
    std::vector<double> times;
    for (auto _ : state) {
        for (const auto& text : typed) {
            auto start = std::chrono::steady_clock::now();
            auto query = folioreader::parsePassageQuery(text, folioreader::QueryWords::beingTyped);
            if (query)
                benchmark::DoNotOptimize(index->search(libraryFolder, *query, 20, 3));
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
    }
    std::sort(times.begin(), times.end());
    state.counters["p50ms"] = times[times.size() / 2];
    state.counters["p90ms"] = times[times.size() * 9 / 10];
    state.counters["maxms"] = times.back();
    state.counters["searches"] = double(typed.size());
}

}

BENCHMARK(IndexBuild)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(QueryAsTyped)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_MAIN();
