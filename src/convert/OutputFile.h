// How the engine creates every file it writes into an output folder: under
// an unpredictable temporary name in the same folder (mkstemp, so nothing
// planted there is followed or truncated), renamed over the final name only
// when the whole content is written. A file is thus whole or absent, and a
// link at the final name is replaced, never followed.
#pragma once

#include <cstdio>
#include <string>

namespace talvore {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile(); // abandons a file that was not committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Starts the file that will become finalPath; false with Error() set.
    bool Create(const std::string& finalPath);
    // The open stream, buffered for large writes.
    FILE* Stream() const { return m_stream; }
    // Closes the stream and renames the file into place; false (and nothing
    // left behind) when a write, the close or the rename failed.
    bool Commit();
    // Closes and removes the temporary file.
    void Abandon();

    const std::string& FinalPath() const { return m_finalPath; }
    // Why the last step failed, with the system's reason.
    const std::string& Error() const { return m_error; }

private:
    FILE* m_stream = nullptr;
    std::string m_finalPath;
    std::string m_temporaryPath;
    std::string m_error;
    int m_slot = -1; // in the registry of files in work
};

// Removes the temporary file of every OutputFile being written at this
// moment. Async-signal-safe: for a handler that ends the process at once,
// so that nothing half-written is left behind.
void RemoveFilesInWork() noexcept;

// Writes data as the whole file at path through an OutputFile.
bool WriteOutputFile(const std::string& path, const void* data, size_t size, std::string* error);

} // namespace talvore
