#include "settings/TipsFile.h"

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace talvore {

TipsFile::~TipsFile() {
    if (m_file)
        std::fclose(m_file);
}

bool TipsFile::Open(const std::string& path) {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    // Non-blocking for the look only: a FIFO must not stall the dialog.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        return false;
    }
    m_file = fdopen(fd, "r");
    if (!m_file) {
        close(fd);
        return false;
    }
    return true;
}

int TipsFile::Descriptor() const {
    return m_file ? fileno(m_file) : -1;
}

bool TipsFile::Seek(int64_t position) {
    if (!m_file || position < 0 || position > LONG_MAX)
        return false;
    return std::fseek(m_file, static_cast<long>(position), SEEK_SET) == 0;
}

std::optional<int64_t> TipsFile::Position() const {
    if (!m_file)
        return std::nullopt;
    const long offset = std::ftell(m_file);
    if (offset < 0)
        return std::nullopt;
    return offset;
}

TipsFile::Read TipsFile::ReadNext(std::string& tip) {
    if (!m_file)
        return Read::NoTip;
    bool rewound = false;
    char line[kMaxTipLength + 1];
    for (;;) {
        if (!std::fgets(line, sizeof line, m_file)) {
            // One pass over the whole file at most.
            if (rewound)
                return Read::NoTip;
            rewound = true;
            std::clearerr(m_file);
            if (std::fseek(m_file, 0, SEEK_SET) != 0)
                return Read::RewindFailed;
            continue;
        }
        std::string text(line);
        if (!TakeAsTip(text))
            continue;
        tip = std::move(text);
        return Read::Tip;
    }
}

bool TipsFile::TakeAsTip(std::string& line) {
    if (line.size() >= 2 && line[line.size() - 2] == '\r' && line.back() == '\n')
        line.erase(line.size() - 2, 1);
    const char first = line.empty() ? '\n' : line.front();
    return first != ' ' && first != '\t' && first != '\n' && first != ';';
}

} // namespace talvore
