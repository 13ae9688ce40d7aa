// Unpacking an EPUB: SSZipArchive::unzipFileAtPath against the system's `unzip -q` of the same
// archive into a fresh folder, in the same run, for a 5 MB and a 50 MB book.
#include "bench/CollectingReporter.h"
#include "frameworks/ziparchive/SSZipArchive.h"
#include "tests/support/EpubFixture.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string benchFolder = "/tmp/pagewyn-bench/unzip";

std::string bookPath(std::size_t megabytes)
{
    return benchFolder + "/book-" + std::to_string(megabytes) + "mb.epub";
}

// A book of about the size, written by the tests' book builder: a third text chapters
// (deflated, as EPUB tools write them), the rest pictures that do not compress (stored), as in an
// illustrated book.
void writeBook(const std::string& path, std::size_t megabytes)
{
    if (fs::exists(path))
        return;
    fixtures::EpubFixture book { .chapters = {}, .storePictures = true };
    std::mt19937 random(megabytes);
    const std::size_t total = megabytes * 1024 * 1024;
    const char* words[] = { "the ", "whale ", "sea ", "and ", "of ", "Ishmael ", "ship ", "a ",
        "white ", "captain ", "said ", "to " };
    std::size_t compressedGuess = 0;
    while (compressedGuess < total / 3) {
        std::string text;
        while (text.size() < 200 * 1024)
            text += words[random() % 12];
        // Such text deflates to about a fifth.
        compressedGuess += text.size() / 5;
        book.chapters.push_back(
            { "Chapter " + std::to_string(book.chapters.size() + 1), std::move(text) });
    }
    for (int picture = 0; compressedGuess < total; ++picture) {
        std::string bytes(256 * 1024, '\0');
        for (auto& byte : bytes)
            byte = static_cast<char>(random());
        compressedGuess += bytes.size();
        book.extraEntries.push_back(
            { "OEBPS/images/picture" + std::to_string(picture) + ".jpg", std::move(bytes) });
    }
    book.writeZipped(path);
}

std::string freshDestination()
{
    static int count = 0;
    return benchFolder + "/out-" + std::to_string(++count);
}

void removeQuietly(const std::string& path)
{
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

void Ours(benchmark::State& state)
{
    const std::string book = bookPath(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        const std::string destination = freshDestination();
        state.ResumeTiming();
        if (!SSZipArchive::unzipFileAtPath(book, destination))
            state.SkipWithError("unzipFileAtPath failed");
        state.PauseTiming();
        removeQuietly(destination);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(book)));
}

// Reference: the system's unzip, started the way a program starts it.
void ReferenceUnzipCommand(benchmark::State& state)
{
    const std::string book = bookPath(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        std::string destination = freshDestination();
        state.ResumeTiming();
        std::string program = "unzip", quiet = "-q", into = "-d", source = book;
        char* argv[] = { program.data(), quiet.data(), source.data(), into.data(),
            destination.data(), nullptr };
        pid_t child = 0;
        int status = 0;
        if (posix_spawnp(&child, "unzip", nullptr, nullptr, argv, environ) != 0
            || waitpid(child, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("unzip failed (is it installed?)");
        state.PauseTiming();
        removeQuietly(destination);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(book)));
}

BENCHMARK(ReferenceUnzipCommand)
    ->Arg(5)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(Ours)->Arg(5)->Arg(50)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}

int main(int argc, char** argv)
{
    fs::create_directories(benchFolder);
    std::fprintf(stderr, "Generating books in %s (kept for later runs)...\n", benchFolder.c_str());
    writeBook(bookPath(5), 5);
    writeBook(bookPath(50), 50);

    benchmark::Initialize(&argc, argv);
    bench::CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto& s = reporter.seconds;
    // Named "Ours/5/min_time:2.000" or alike, depending on the library's version.
    auto get = [&](const std::string& prefix) {
        for (auto& [name, seconds] : s) {
            if (name.rfind(prefix, 0) == 0)
                return seconds;
        }
        return 0.0;
    };
    bool all = true;
    std::printf("\n%-66s %10s %10s  %s\n", "target", "measured", "bound", "");
    for (int megabytes : { 5, 50 }) {
        const std::string arg = "/" + std::to_string(megabytes) + "/";
        const double reference = get("ReferenceUnzipCommand" + arg);
        const double ours = get("Ours" + arg);
        const double ratio = ours > 0 ? reference / ours : 0;
        const bool met = ratio >= 0.8;
        const std::string what
            = "unpacking a " + std::to_string(megabytes) + " MB book, throughput vs unzip -q";
        std::printf(
            "%-66s %10.2f %10s  %s\n", what.c_str(), ratio, ">= 0.8x", met ? "met" : "MISSED");
        all = all && met;
    }
    return all ? 0 : 1;
}
