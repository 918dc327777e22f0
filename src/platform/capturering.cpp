#include "capturering.h"

#include <cerrno>

namespace tavix {

Doorbell::Doorbell() {
    sem_init(&m_semaphore, 0, 0);
}

Doorbell::~Doorbell() {
    sem_destroy(&m_semaphore);
}

void Doorbell::ring() noexcept {
    sem_post(&m_semaphore);
}

void Doorbell::wait() noexcept {
    while (sem_wait(&m_semaphore) != 0 && errno == EINTR) {
    }
}

CaptureRing::CaptureRing(std::uint32_t slotCount, std::size_t samplesPerSlot, Doorbell& doorbell)
    : m_slotCount(slotCount > 0 ? slotCount : 1), m_samplesPerSlot(samplesPerSlot), m_doorbell(doorbell),
      // Not zeroed: a slot is written before it is published, and untouched pages cost nothing.
      m_samples(std::make_unique_for_overwrite<float[]>(std::size_t(m_slotCount) * samplesPerSlot)),
      m_headers(std::make_unique<CapturedBlockHeader[]>(m_slotCount)) {}

float* CaptureRing::claim() noexcept {
    const std::uint64_t head = m_head.load(std::memory_order_relaxed);
    if (head - m_tail.load(std::memory_order_acquire) >= m_slotCount) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return nullptr;
    }
    return m_samples.get() + std::size_t(head % m_slotCount) * m_samplesPerSlot;
}

void CaptureRing::publish(const CapturedBlockHeader& header) noexcept {
    const std::uint64_t head = m_head.load(std::memory_order_relaxed);
    m_headers[head % m_slotCount] = header;
    m_head.store(head + 1, std::memory_order_release);
    m_doorbell.ring();
}

void CaptureRing::noteFirstCallback(std::uint32_t frameCount) noexcept {
    m_firstCallback.store(kNoteSet | frameCount, std::memory_order_release);
    m_doorbell.ring();
}

void CaptureRing::close() noexcept {
    m_closed.store(true, std::memory_order_release);
    m_doorbell.ring();
}

const CapturedBlockHeader* CaptureRing::front(const float*& samples) const noexcept {
    const std::uint64_t tail = m_tail.load(std::memory_order_relaxed);
    if (tail == m_head.load(std::memory_order_acquire)) {
        return nullptr;
    }
    const std::size_t slot = std::size_t(tail % m_slotCount);
    samples = m_samples.get() + slot * m_samplesPerSlot;
    return &m_headers[slot];
}

void CaptureRing::pop() noexcept {
    m_tail.store(m_tail.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

std::optional<std::uint32_t> CaptureRing::takeFirstCallback() noexcept {
    const std::uint64_t note = m_firstCallback.exchange(0, std::memory_order_acquire);
    return note & kNoteSet ? std::optional(std::uint32_t(note)) : std::nullopt;
}

} // namespace tavix
