// The progress sync's name of a book: the sampled digest of each book of a library of books of a
// real size (400 KiB: 1,000 files, and 200 folders of ten files), against reading every byte the
// catalog would send for the same books (a zipped book's file; a folder book's files). The
// digest reads only the file's bytes, not its zip, so the files hold any bytes. Of a zipped book
// the digest reads about 12 KiB: at most the time of reading it whole. A folder book is named by
// the zip the catalog makes of it, whose headers hold each file's CRC-32, so every byte is read and
// the zip's first bytes made: at most twice the time of reading it whole.
#include "bench/CollectingReporter.h"
#include "platform/host/kosync/documentDigest.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t bookBytes = 400 * 1024;

std::size_t bookCount(bool zipped)
{
    return zipped ? 1000 : 200;
}

void writeBytes(const fs::path& path, std::size_t size, std::mt19937& random)
{
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = char(random());
    std::ofstream(path, std::ios::binary) << bytes;
}

// The library's items, written once and kept for later runs.
std::vector<std::string> libraryItems(bool zipped)
{
    fs::path folder
        = std::string("/tmp/pagewyn-bench/sync-digest/") + (zipped ? "zipped" : "folders");
    std::vector<std::string> items;
    std::mt19937 random(11);
    for (std::size_t n = 0; n < bookCount(zipped); ++n) {
        fs::path item = folder / ("book-" + std::to_string(n) + ".epub");
        items.push_back(item);
        if (fs::exists(item))
            continue;
        fs::create_directories(zipped ? folder : item);
        if (zipped) {
            writeBytes(item, bookBytes, random);
            continue;
        }
        std::ofstream(item / "mimetype") << "application/epub+zip";
        for (int file = 0; file < 10; ++file)
            writeBytes(
                item / ("chapter-" + std::to_string(file) + ".xhtml"), bookBytes / 10, random);
    }
    return items;
}

std::size_t readWhole(const std::string& path)
{
    std::size_t bytes = 0;
    std::vector<char> buffer(64 * 1024);
    auto read = [&](const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        while (in.read(buffer.data(), std::streamsize(buffer.size())) || in.gcount() > 0)
            bytes += std::size_t(in.gcount());
    };
    if (fs::is_directory(path)) {
        for (const auto& entry : fs::recursive_directory_iterator(path))
            if (entry.is_regular_file())
                read(entry.path());
    } else {
        read(path);
    }
    return bytes;
}

void Digest(benchmark::State& state)
{
    auto items = libraryItems(state.range(0) != 0);
    for (auto _ : state)
        for (const auto& item : items)
            benchmark::DoNotOptimize(host::documentDigest(item));
}
BENCHMARK(Digest)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void ReadWhole(benchmark::State& state)
{
    auto items = libraryItems(state.range(0) != 0);
    for (auto _ : state)
        for (const auto& item : items)
            benchmark::DoNotOptimize(readWhole(item));
}
BENCHMARK(ReadWhole)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    bench::CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    bool allMet = true;
    std::printf("\n%-66s %10s %10s\n", "target", "measured", "bound");
    struct Kind {
        const char* name;
        const char* arg;
        double bound;
    };
    for (auto [kind, arg, bound] : { Kind { "zipped", "1", 1.0 }, Kind { "folder", "0", 2.0 } }) {
        double digest = reporter.secondsStartingWith(std::string("Digest/") + arg + "/");
        double whole = reporter.secondsStartingWith(std::string("ReadWhole/") + arg + "/");
        double ratio = whole > 0 ? digest / whole : 0;
        bool met = ratio > 0 && ratio <= bound;
        allMet = allMet && met;
        std::printf("%-66s %9.2fx %9.0fx  %s  (%.1f us a book)\n",
            (std::string("sampled digest of a ") + kind + " book vs reading it whole").c_str(),
            ratio, bound, met ? "met" : "MISSED",
            digest / double(bookCount(std::string(arg) == "1")) * 1e6);
    }
    return allMet ? 0 : 1;
}
