#pragma once

#include "audiobackend.h"

#include <semaphore.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace tavix {

/// A wake-up that a real-time thread may give without locking, allocating or blocking (a POSIX
/// semaphore: sem_post is async-signal-safe).
class Doorbell {
public:
    Doorbell();
    ~Doorbell();
    Doorbell(const Doorbell&) = delete;
    Doorbell& operator=(const Doorbell&) = delete;

    /// Any thread, real-time ones included.
    void ring() noexcept;
    /// Blocks until rung at least once since the last wait.
    void wait() noexcept;

private:
    sem_t m_semaphore;
};

/// What travels with each block of a CaptureRing.
struct CapturedBlockHeader {
    std::uint32_t frameCount = 0;
    std::uint32_t channelCount = 0;
    double sampleRate = 0;
    CaptureTimestamp time;
};

/// Captured blocks from the audio thread to one consumer: a fixed number of slots, each a header
/// and room for `samplesPerSlot` interleaved samples, all allocated up front. When every slot is
/// taken the new block is dropped and counted; the producer never waits.
/// Thread rule: the producer members are called by one thread at a time and are lock- and
/// allocation-free; the consumer members by one other thread at a time.
class CaptureRing {
public:
    CaptureRing(std::uint32_t slotCount, std::size_t samplesPerSlot, Doorbell& doorbell);
    CaptureRing(const CaptureRing&) = delete;
    CaptureRing& operator=(const CaptureRing&) = delete;

    std::uint32_t slotCount() const { return m_slotCount; }
    std::size_t samplesPerSlot() const { return m_samplesPerSlot; }

    // Producer.
    /// Room for the next block, or null when every slot is taken (the block counts as dropped).
    /// Writing into it publishes nothing until publish().
    float* claim() noexcept;
    /// Publishes the block written into the last claimed slot and wakes the consumer.
    void publish(const CapturedBlockHeader& header) noexcept;
    /// Keeps the frame count of a capture's first callback for the consumer to report; once.
    void noteFirstCallback(std::uint32_t frameCount) noexcept;
    /// No block follows; wakes the consumer so that it can let the ring go once it is empty.
    void close() noexcept;

    // Consumer.
    /// The oldest published block and its samples, or null when there is none.
    const CapturedBlockHeader* front(const float*& samples) const noexcept;
    /// Frees the slot of front() for the producer.
    void pop() noexcept;
    std::optional<std::uint32_t> takeFirstCallback() noexcept;
    bool isClosed() const noexcept { return m_closed.load(std::memory_order_acquire); }

    /// Any thread.
    std::uint64_t droppedBlocks() const noexcept { return m_dropped.load(std::memory_order_relaxed); }
    std::uint64_t publishedBlocks() const noexcept { return m_head.load(std::memory_order_relaxed); }

private:
    static constexpr std::uint64_t kNoteSet = std::uint64_t(1) << 32;

    const std::uint32_t m_slotCount;
    const std::size_t m_samplesPerSlot;
    Doorbell& m_doorbell;
    std::unique_ptr<float[]> m_samples;
    std::unique_ptr<CapturedBlockHeader[]> m_headers;
    // Blocks published (head) and consumed (tail) so far; slot = count modulo the slot count.
    alignas(64) std::atomic<std::uint64_t> m_head = 0;
    alignas(64) std::atomic<std::uint64_t> m_tail = 0;
    std::atomic<std::uint64_t> m_dropped = 0;
    std::atomic<std::uint64_t> m_firstCallback = 0;
    std::atomic<bool> m_closed = false;
};

} // namespace tavix
