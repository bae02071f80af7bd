#include "image/StreamReader.h"

#include <algorithm>
#include <cstring>

namespace talvore {

bool StreamReader::Fill() {
    if (atEnd_ || file_ == nullptr)
        return false;
    if (buffer_.empty())
        buffer_.resize(kBufferSize);
    position_ = 0;
    length_ = file_->Read(buffer_.data(), 1, buffer_.size());
    if (length_ == 0)
        atEnd_ = true;
    return length_ != 0;
}

size_t StreamReader::ReadBytes(uint8_t* out, size_t n) {
    size_t done = 0;
    while (done < n) {
        if (position_ == length_) {
            if (n - done >= kBufferSize && !atEnd_ && file_ != nullptr) {
                done += file_->Read(out + done, 1, n - done);
                break;
            }
            if (!Fill())
                break;
        }
        const size_t take = std::min(n - done, length_ - position_);
        std::memcpy(out + done, buffer_.data() + position_, take);
        position_ += take;
        done += take;
    }
    return done;
}

bool StreamReader::Skip(size_t n) {
    while (n > 0) {
        if (position_ == length_ && !Fill())
            return false;
        const size_t take = std::min(n, length_ - position_);
        position_ += take;
        n -= take;
    }
    return true;
}

int64_t StreamReader::Remaining() {
    if (file_ == nullptr)
        return -1;
    const int32_t size = file_->Size();
    const int32_t tell = file_->Tell();
    if (size < 0 || tell < 0)
        return -1;
    return std::max<int64_t>(0, int64_t{size} - tell) + static_cast<int64_t>(length_ - position_);
}

} // namespace talvore
