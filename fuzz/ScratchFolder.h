// ScratchFolder: the fuzz target's own folder under the system's temporary folder, made once per
// process and removed with everything in it when the process ends. Each run takes a fresh name in
// it, so no run sees what an earlier one left, and caches keyed by path never answer for an old
// input.
#pragma once

#include <string>

namespace fuzzing {

class ScratchFolder {
public:
    // The process's folder, made on first use.
    static ScratchFolder& shared();

    const std::string& path() const { return m_path; }
    // A path in the folder that no earlier call gave: path() + "/<stem>-<n><suffix>".
    std::string freshPath(const std::string& stem, const std::string& suffix = {});

private:
    ScratchFolder();
    ~ScratchFolder();

    std::string m_path;
    unsigned long long m_next = 0;
};

// Removes the file or folder at path with everything in it; aborts when that fails, so a run
// never leaves its input behind for the next one.
void removeAll(const std::string& path);

// Writes bytes to a new file at path; aborts when that fails.
void writeFile(const std::string& path, const std::string& bytes);

}
