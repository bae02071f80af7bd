#include "convert/ConversionPool.h"

#include <algorithm>
#include <exception>

namespace talvore {

unsigned ConversionThreads(unsigned requested) {
    if (requested > 0)
        return requested;
    return std::max(1u, std::thread::hardware_concurrency());
}

ConversionPool::ConversionPool(const ConversionSettings& settings, unsigned threads,
                               size_t byteBudget)
    : m_settings(settings), m_budget(byteBudget) {
    const unsigned count = ConversionThreads(threads);
    m_workers.reserve(count);
    for (unsigned i = 0; i < count; ++i)
        m_workers.emplace_back([this] { Work(); });
}

ConversionPool::~ConversionPool() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void ConversionPool::Accept(DecodedImage image) {
    const size_t bytes = image.Bytes.size();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_progress.wait(lock, [&] { return m_bytes == 0 || m_bytes + bytes <= m_budget; });
    m_bytes += bytes;
    m_queue.push_back(std::move(image));
    lock.unlock();
    m_wake.notify_one();
}

std::vector<PooledOutcome> ConversionPool::Drain() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_progress.wait(lock, [&] { return m_queue.empty() && m_inWork == 0; });
    std::vector<PooledOutcome> done = std::move(m_done);
    m_done.clear();
    std::sort(done.begin(), done.end(),
              [](const PooledOutcome& a, const PooledOutcome& b) { return a.Number < b.Number; });
    return done;
}

void ConversionPool::Work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_closing || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        DecodedImage image = std::move(m_queue.front());
        m_queue.pop_front();
        ++m_inWork;
        lock.unlock();

        PooledOutcome result;
        result.Number = image.Number;
        result.Page = image.Page;
        result.IntermediatePath = image.IntermediatePath;
        try {
            result.Outcome = ConvertDecodedImage(image, m_settings);
        } catch (const std::exception& broken) {
            // Out of memory inside a writer: this image fails, the run goes on.
            result.Outcome.Error = broken.what();
        }
        const size_t bytes = image.Bytes.size();
        image = DecodedImage(); // the memory goes before the next one comes

        lock.lock();
        m_bytes -= bytes;
        --m_inWork;
        m_done.push_back(std::move(result));
        m_progress.notify_all();
    }
}

} // namespace talvore
