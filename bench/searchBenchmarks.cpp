// Finding a common word in a 50 MB book: the reader's search, from the book's files to the last
// match, against `grep -c` over the same unpacked XHTML files, in the same run. grep's counts are
// written to a file and checked: every file is read to its end.
#include "bench/CollectingReporter.h"
#include "frameworks/folioreader/reader/ReaderViewController.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string bookFolder = "/tmp/pagewyn-bench/search/book.epub";
constexpr int chapters = 100;
constexpr std::size_t chapterBytes = 512 * 1024;
const char* word = "whale";

std::string chapterPath(int index)
{
    return bookFolder + "/OEBPS/c" + std::to_string(index) + ".xhtml";
}

// An unpacked book of 100 chapters of about 512 KB each: paragraphs of words, a few accented,
// the word searched for in one paragraph of 64 (about 1,600 matches: under the most one search
// lists, so the whole book is read).
void writeBook()
{
    if (fs::exists(chapterPath(chapters - 1)))
        return;
    fs::create_directories(bookFolder + "/META-INF");
    fs::create_directories(bookFolder + "/OEBPS");
    std::ofstream(bookFolder + "/mimetype") << "application/epub+zip";
    std::ofstream(bookFolder + "/META-INF/container.xml")
        << R"(<?xml version="1.0"?><container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container"><rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles></container>)";
    std::string manifest, spine;
    for (int i = 0; i < chapters; ++i) {
        manifest += "<item id=\"c" + std::to_string(i) + "\" href=\"c" + std::to_string(i)
            + ".xhtml\" media-type=\"application/xhtml+xml\"/>";
        spine += "<itemref idref=\"c" + std::to_string(i) + "\"/>";
    }
    std::ofstream(bookFolder + "/OEBPS/content.opf")
        << R"(<?xml version="1.0"?><package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id"><metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:identifier id="id">bench</dc:identifier><dc:title>Search</dc:title></metadata><manifest>)"
        << manifest << "</manifest><spine>" << spine << "</spine></package>";
    const std::vector<std::string> words = { "the", "sea", "ship", "Ishmael", "café", "naïve",
        "and", "of", "a", "harpoon", "Queequeg", "ocean", "deck", "sail", "storm", "Ahab",
        "captain", "white", "line", "rope" };
    std::mt19937 random(7);
    for (int i = 0; i < chapters; ++i) {
        std::string text
            = "<?xml version=\"1.0\" encoding=\"utf-8\"?><html "
              "xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>c</title></head><body>\n";
        for (int paragraph = 0; text.size() < chapterBytes; ++paragraph) {
            text += "<p>";
            for (int n = 0; n < 80; ++n) {
                text += n == 5 && paragraph % 64 == 0 ? (paragraph % 128 == 0 ? "Whale" : word)
                                                      : words[random() % words.size()];
                text += n % 16 == 15 ? "\n" : " ";
            }
            text += "</p>\n";
        }
        text += "</body></html>\n";
        std::ofstream(chapterPath(i), std::ios::binary) << text;
    }
}

// grep -c writing its counts to countsPath. GNU grep told to write to /dev/null stops at each
// file's first match, as -q does, and counts nothing: its counts go to a file instead.
void runGrep(benchmark::State& state, const std::string& countsPath)
{
    std::vector<std::string> arguments = { "grep", "-c", word };
    for (int i = 0; i < chapters; ++i)
        arguments.push_back(chapterPath(i));
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
        &actions, 1, countsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (auto _ : state) {
        pid_t child = 0;
        if (posix_spawnp(&child, "grep", &actions, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("grep cannot be run");
            break;
        }
        int status = 0;
        waitpid(child, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    // Every file counted: one line each.
    std::ifstream counts(countsPath);
    int lines = 0;
    for (std::string line; std::getline(counts, line);)
        ++lines;
    if (countsPath != "/dev/null" && lines != chapters)
        state.SkipWithError("grep did not count every file");
}

void ReferenceGrepCount(benchmark::State& state)
{
    runGrep(state, "/tmp/pagewyn-bench/search/grep-counts.txt");
}

// For comparison with earlier measurements, which sent the counts to /dev/null.
void GrepStoppingAtFirstMatches(benchmark::State& state)
{
    runGrep(state, "/dev/null");
}

void Search(benchmark::State& state)
{
    auto reader = std::make_shared<folioreader::ReaderViewController>(
        std::make_shared<folioreader::FolioReaderConfig>(),
        folioreader::ReaderSession::open(bookFolder, std::nullopt, false));
    std::size_t matches = 0;
    for (auto _ : state) {
        auto job = reader->startReaderSearch(word);
        if (!job) {
            state.SkipWithError(job.error().description().c_str());
            break;
        }
        matches = 0;
        // Every match is written out as the route writes it, so the cost of the lines counts.
        (*job)([&](const nlohmann::json& line) {
            benchmark::DoNotOptimize(line.dump());
            ++matches;
            return true;
        });
    }
    state.counters["matches"] = double(matches);
}

BENCHMARK(ReferenceGrepCount)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(GrepStoppingAtFirstMatches)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(Search)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}

int main(int argc, char** argv)
{
    std::fprintf(
        stderr, "Generating the book in %s (kept for later runs)...\n", bookFolder.c_str());
    writeBook();
    benchmark::Initialize(&argc, argv);
    bench::CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    auto get = [&](const std::string& prefix) { return reporter.secondsStartingWith(prefix); };
    double reference = get("ReferenceGrepCount");
    double early = get("GrepStoppingAtFirstMatches");
    double ours = get("Search");
    double ratio = reference > 0 ? ours / reference : 0;
    bool met = ratio > 0 && ratio <= 2.0;
    std::printf("\n%-66s %10s %10s\n", "target", "measured", "bound");
    std::printf("%-66s %9.2fx %10s  %s\n", "finding a common word in a 50 MB book, time vs grep -c",
        ratio, "<= 2x", met ? "met" : "MISSED");
    std::printf("%-66s %9.2fx %10s\n",
        "  (for comparison: vs grep -c stopping at each file's first match)",
        early > 0 ? ours / early : 0, "");
    return met ? 0 : 1;
}
