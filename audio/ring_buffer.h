// A lock-free single-producer/single-consumer ring of float samples: the render thread
// writes, the sound card's callback reads. Neither side locks, allocates or waits.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <vector>

namespace audio {

class SpscRing {
  public:
    // Capacity is rounded up to a power of two; allocated here, never again.
    explicit SpscRing(std::size_t capacity) {
        std::size_t size = 1;
        while (size < capacity) size <<= 1;
        buffer_.assign(size, 0.0f);
        mask_ = size - 1;
    }
    std::size_t Capacity() const { return buffer_.size(); }
    // Producer side.
    std::size_t FreeSpace() const {
        return buffer_.size() -
               (head_.load(std::memory_order_relaxed) - tail_.load(std::memory_order_acquire));
    }
    std::size_t Write(const float* data, std::size_t count) {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        const std::size_t tail = tail_.load(std::memory_order_acquire);
        count = std::min(count, buffer_.size() - (head - tail));
        for (std::size_t i = 0; i < count; ++i) buffer_[(head + i) & mask_] = data[i];
        head_.store(head + count, std::memory_order_release);
        return count;
    }
    // Consumer side.
    std::size_t Available() const {
        return head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_relaxed);
    }
    std::size_t Read(float* data, std::size_t count) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        const std::size_t head = head_.load(std::memory_order_acquire);
        count = std::min(count, head - tail);
        for (std::size_t i = 0; i < count; ++i) data[i] = buffer_[(tail + i) & mask_];
        tail_.store(tail + count, std::memory_order_release);
        return count;
    }

    // Consumer side: lets go of everything written so far unread; returns how much.
    std::size_t DiscardAll() {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        const std::size_t head = head_.load(std::memory_order_acquire);
        tail_.store(head, std::memory_order_release);
        return head - tail;
    }

  private:
    std::vector<float> buffer_;
    std::size_t mask_ = 0;
    alignas(64) std::atomic<std::size_t> head_{0};  // written by the producer
    alignas(64) std::atomic<std::size_t> tail_{0};  // written by the consumer
};

}  // namespace audio
