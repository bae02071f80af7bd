#include "convert/OutputFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace talvore {
namespace {

std::string Reason(const char* what, int error) {
    return std::string(what) + ": " + std::strerror(error);
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
    // Rows and blocks go out in large writes.
    static_cast<void>(std::setvbuf(m_stream, nullptr, _IOFBF, 256 * 1024));
    return true;
}

bool OutputFile::Commit() {
    if (!m_stream)
        return false;
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
    if (m_stream) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    if (!m_temporaryPath.empty()) {
        ::unlink(m_temporaryPath.c_str());
        m_temporaryPath.clear();
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
