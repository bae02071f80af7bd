// Converts the images a document's device hands over, on a pool of worker
// threads, while the device goes on with the next pages. A bounded queue
// keeps memory flat: Submit waits while the images queued and in work
// exceed the byte budget (one image is always let through, however large).
// Every image is converted on its own, so the files do not depend on the
// number of threads or on the order in which they finish.
#pragma once

#include "convert/DecodedImage.h"
#include "convert/ExtractedImageConverter.h"
#include "convert/ImageDumpOutputDev.h"
#include "settings/ConversionSettings.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace talvore {

// What became of one submitted image.
struct PooledOutcome {
    int Number = 0;
    int Page = 0;
    std::string IntermediatePath;
    ConversionOutcome Outcome;
};

class ConversionPool : public ImageSink {
public:
    // threads 0 means one per core.
    ConversionPool(const ConversionSettings& settings, unsigned threads,
                   size_t byteBudget = kDefaultByteBudget);
    ~ConversionPool() override; // waits for the images in work
    ConversionPool(const ConversionPool&) = delete;
    ConversionPool& operator=(const ConversionPool&) = delete;

    // Default budget of decoded bytes queued or in work.
    static constexpr size_t kDefaultByteBudget = size_t{512} << 20;

    // Queues the image; waits while the budget is spent.
    void Accept(DecodedImage image) override;
    // Waits until every submitted image is done; their outcomes by number.
    std::vector<PooledOutcome> Drain();

    unsigned Threads() const { return static_cast<unsigned>(m_workers.size()); }

private:
    void Work();

    const ConversionSettings m_settings;
    const size_t m_budget;
    std::mutex m_mutex;
    std::condition_variable m_wake;     // workers: an image or the end
    std::condition_variable m_progress; // submitters and drainers
    std::deque<DecodedImage> m_queue;
    size_t m_bytes = 0; // queued and in work
    size_t m_inWork = 0;
    bool m_closing = false;
    std::vector<PooledOutcome> m_done;
    std::vector<std::thread> m_workers;
};

// Worker threads for a -j value: 0 means one per core.
unsigned ConversionThreads(unsigned requested);

} // namespace talvore
