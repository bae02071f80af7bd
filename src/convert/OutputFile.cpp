#include "convert/OutputFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace talvore {
namespace {

std::string Reason(const char* what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

// The temporary files being written, where a signal handler can read them:
// fixed slots of plain characters, claimed and released atomically.
constexpr int kSlots = 64;
struct Slot {
    std::atomic<int> State{0}; // 0 free, 1 being filled, 2 in work
    char Path[PATH_MAX] = {};
};
// Zero from the start, so the slots' pages are touched only when used.
constinit Slot g_slots[kSlots];

int ClaimSlot(const std::string& path) {
    if (path.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (g_slots[i].State.compare_exchange_strong(expected, 1)) {
            std::memcpy(g_slots[i].Path, path.c_str(), path.size() + 1);
            g_slots[i].State.store(2);
            return i;
        }
    }
    return -1; // more files at once than slots: not cleaned up on a signal
}

void ReleaseSlot(int& slot) {
    if (slot >= 0)
        g_slots[slot].State.store(0);
    slot = -1;
}

// The process's file creation mask, read without changing it (umask(2)
// would, for every thread): mkstemp makes files 0600, and ours are to carry
// the permissions any other file created here would.
mode_t CreationMask() {
    static const mode_t mask = [] {
        if (FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            unsigned value = 0;
            while (std::fgets(line, sizeof line, status)) {
                if (std::sscanf(line, "Umask: %o", &value) == 1) {
                    std::fclose(status);
                    return static_cast<mode_t>(value);
                }
            }
            std::fclose(status);
        }
        const mode_t current = ::umask(022);
        ::umask(current);
        return current;
    }();
    return mask;
}

} // namespace

OutputFile::~OutputFile() {
    Abandon();
}

bool OutputFile::Create(const std::string& finalPath) {
    Abandon();
    m_finalPath = finalPath;
    m_error.clear();
    const size_t slash = finalPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : finalPath.substr(0, slash + 1);
    // Hidden while incomplete, and short, so that any final name that fits
    // the folder has a temporary name that fits too.
    std::string pattern = folder + ".talvore-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        m_error = Reason("cannot create the file", errno);
        return false;
    }
    // Readable too: the TIFF writer reads back what it wrote.
    if (::fchmod(fd, 0666 & ~CreationMask()) != 0 || !(m_stream = fdopen(fd, "w+b"))) {
        m_error = Reason("cannot create the file", errno);
        ::close(fd);
        ::unlink(pattern.c_str());
        return false;
    }
    m_temporaryPath = pattern;
    m_slot = ClaimSlot(m_temporaryPath);
    // Rows and blocks go out in large writes.
    static_cast<void>(std::setvbuf(m_stream, nullptr, _IOFBF, 256 * 1024));
    return true;
}

bool OutputFile::Commit() {
    if (!m_stream)
        return false;
    ReleaseSlot(m_slot);
    const int writeError = std::ferror(m_stream) ? errno : 0;
    const bool closed = std::fclose(m_stream) == 0;
    const int closeError = errno;
    m_stream = nullptr;
    if (writeError != 0 || !closed) {
        m_error = Reason("cannot write the file", writeError ? writeError : closeError);
        ::unlink(m_temporaryPath.c_str());
        m_temporaryPath.clear();
        return false;
    }
    if (std::rename(m_temporaryPath.c_str(), m_finalPath.c_str()) != 0) {
        m_error = Reason("cannot rename the file into place", errno);
        ::unlink(m_temporaryPath.c_str());
        m_temporaryPath.clear();
        return false;
    }
    m_temporaryPath.clear();
    return true;
}

void OutputFile::Abandon() {
    ReleaseSlot(m_slot);
    if (m_stream) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    if (!m_temporaryPath.empty()) {
        ::unlink(m_temporaryPath.c_str());
        m_temporaryPath.clear();
    }
}

void RemoveFilesInWork() noexcept {
    for (Slot& slot : g_slots) {
        if (slot.State.load() == 2)
            ::unlink(slot.Path);
    }
}

bool WriteOutputFile(const std::string& path, const void* data, size_t size, std::string* error) {
    OutputFile file;
    if (!file.Create(path)) {
        *error = file.Error();
        return false;
    }
    // A short write leaves the stream's error set, which the commit reports.
    if (size > 0)
        static_cast<void>(std::fwrite(data, 1, size, file.Stream()));
    if (!file.Commit()) {
        *error = file.Error();
        return false;
    }
    return true;
}

} // namespace talvore
