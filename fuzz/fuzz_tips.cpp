// Reads arbitrary bytes as the tips file, from a start position taken from
// the input (beyond the end included), for a bounded number of tips. Each
// tip and each position must be what a plain model of the reading gives
// (pieces of at most 999 characters ending at a line break, text up to a
// NUL byte, one rewind per tip asked for) with the per-line rule applied,
// and no tip may break the rules for what a tip is.
#include "settings/TipsFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

using namespace talvore;

namespace {

// The reader as the rules describe it, over the bytes in memory.
struct Model {
    std::string_view Bytes;
    size_t Position = 0;

    TipsFile::Read Next(std::string& tip) {
        bool rewound = false;
        for (;;) {
            if (Position >= Bytes.size()) {
                if (rewound)
                    return TipsFile::Read::NoTip;
                rewound = true;
                Position = 0;
                continue;
            }
            const size_t limit = std::min(Bytes.size(), Position + TipsFile::kMaxTipLength);
            size_t end = Position;
            while (end < limit && Bytes[end] != '\n')
                ++end;
            if (end < limit)
                ++end; // the line break belongs to the piece
            std::string_view piece = Bytes.substr(Position, end - Position);
            Position = end;
            std::string text(piece.substr(0, piece.find('\0')));
            if (!TipsFile::TakeAsTip(text))
                continue;
            tip = std::move(text);
            return TipsFile::Read::Tip;
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    const int fd = memfd_create("tips", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
        close(fd);
        return 0;
    }
    TipsFile file;
    if (!file.Open("/proc/self/fd/" + std::to_string(fd)))
        std::abort();
    close(fd);

    const size_t start = size == 0 ? 0 : (size_t{data[0]} * 7919u) % (size + 16);
    if (!file.Seek(static_cast<int64_t>(start)))
        std::abort();
    Model model{std::string_view(reinterpret_cast<const char*>(data), size), start};
    for (int i = 0; i < 64; ++i) {
        std::string tip;
        std::string expected;
        const TipsFile::Read read = file.ReadNext(tip);
        const TipsFile::Read wanted = model.Next(expected);
        if (read != wanted)
            std::abort();
        if (read != TipsFile::Read::Tip)
            break;
        if (tip != expected || tip.empty() || tip.size() > TipsFile::kMaxTipLength)
            std::abort();
        // What no tip may be, whatever the per-line rule says.
        const size_t lineBreak = tip.find('\n');
        if (lineBreak != std::string::npos && lineBreak != tip.size() - 1)
            std::abort();
        // ("\r\r\n" is a tip "\r\n", as text mode reads it.)
        if (tip.find('\0') != std::string::npos ||
            std::string_view(" \t\n;").find(tip.front()) != std::string_view::npos)
            std::abort();
        if (file.Position() != static_cast<int64_t>(model.Position))
            std::abort();
    }
    return 0;
}
