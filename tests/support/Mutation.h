// Hostile variants of a valid file: every byte flipped each of a few ways,
// then every shorter prefix, each decoded in a fresh image. A decode that
// succeeds must leave a consistent image (pixels, a size, rows inside the
// block); one that fails must leave no pixels and say why. Run under the
// sanitizers, this also catches reads and writes out of bounds.
#pragma once

#include "image/ByteStream.h"
#include "image/RasterImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace talvore::testing {

using DecodeFn = std::function<bool(RasterImage& image, const std::string& data)>;

struct MutationOptions {
    std::vector<uint8_t> flips{0xFF, 0x01, 0x80};
    // Every shorter prefix must be refused (files that hold exactly their data).
    bool prefixesRefused = false;
    // Run on every image that decoded, to exercise what a caller does next.
    std::function<void(RasterImage&)> exercise;
};

// Decodes from memory with the given format id (0: recognition).
inline DecodeFn DecodeAs(uint32_t formatId) {
    return [formatId](RasterImage& image, const std::string& data) {
        std::vector<uint8_t> copy(data.begin(), data.end());
        MemoryStream stream(copy.empty() ? nullptr : copy.data(),
                            static_cast<uint32_t>(copy.size()));
        return image.Decode(&stream, formatId);
    };
}

namespace detail {

// What is wrong with the outcome of one decode, or "" when nothing is.
inline std::string Misbehaviour(bool ok, RasterImage& image, const MutationOptions& options) {
    if (!ok) {
        if (image.HasPixels())
            return "failed but holds pixels";
        if (std::string(image.LastErrorText()).empty())
            return "failed without a message";
        return "";
    }
    if (!image.HasPixels())
        return "succeeded without pixels";
    if (image.Width() <= 0 || image.Height() <= 0)
        return "succeeded with an empty size";
    if (uint64_t{image.RowStride()} * static_cast<uint32_t>(image.Height()) > image.ImageSize())
        return "rows reach past the pixel area";
    if (options.exercise)
        options.exercise(image);
    return "";
}

} // namespace detail

inline void ExpectSurvivesMutation(const std::string& valid, const DecodeFn& decode,
                                   const MutationOptions& options = {}) {
    for (size_t i = 0; i < valid.size(); ++i) {
        for (uint8_t flip : options.flips) {
            std::string mutated = valid;
            mutated[i] = static_cast<char>(mutated[i] ^ flip);
            RasterImage image;
            const bool ok = decode(image, mutated);
            const std::string wrong = detail::Misbehaviour(ok, image, options);
            if (!wrong.empty()) {
                ADD_FAILURE() << wrong << ": byte " << i << " of " << valid.size()
                              << " flipped by 0x" << std::hex << int{flip};
                return;
            }
        }
    }
    for (size_t length = 0; length < valid.size(); ++length) {
        RasterImage image;
        const bool ok = decode(image, valid.substr(0, length));
        std::string wrong = detail::Misbehaviour(ok, image, options);
        if (wrong.empty() && ok && options.prefixesRefused)
            wrong = "a shorter prefix was accepted";
        if (!wrong.empty()) {
            ADD_FAILURE() << wrong << ": cut at " << length << " of " << valid.size();
            return;
        }
    }
}

} // namespace talvore::testing
