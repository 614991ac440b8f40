#include "input/device_readers.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace input {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.Release();
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
}

int UniqueFd::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

PedalReader::PedalReader(UniqueFd fd) : fd_(std::move(fd)), buffer_(4096) {
    if (fd_.Get() >= 0) {
        const int flags = ::fcntl(fd_.Get(), F_GETFL);
        if (flags >= 0) ::fcntl(fd_.Get(), F_SETFL, flags | O_NONBLOCK);
    } else {
        gone_ = true;
    }
}

void PedalReader::Report(PedalMask mask, const OnChange& onChange) {
    if (mask == state_) return;
    state_ = mask;
    if (onChange) onChange(mask);
}

PedalReader::Result PedalReader::ReadAvailable(const OnChange& onChange, int maxReads) {
    Result result;
    if (gone_) return result;
    for (int i = 0; i < maxReads; ++i) {
        const ssize_t n = ::read(fd_.Get(), buffer_.data(), buffer_.size());
        if (n > 0) {
            Consume(buffer_.data(), static_cast<std::size_t>(n), onChange);
            if (i + 1 == maxReads) result.more = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return result;
        // End of file or an error: the device is gone. Nothing may stay held.
        result.error = n < 0 ? errno : 0;
        result.gone = true;
        gone_ = true;
        Report(0, onChange);
        return result;
    }
    return result;
}

HidrawReader::HidrawReader(UniqueFd fd, const RawLayout& layout)
    : PedalReader(std::move(fd)), layout_(layout) {}

void HidrawReader::Consume(const std::uint8_t* data, std::size_t n, const OnChange& onChange) {
    const auto mask = DecodeRawReport(layout_, {data, n});
    if (!mask) {
        ++ignored_;
        return;
    }
    Report(*mask, onChange);
}

EventDeviceReader::EventDeviceReader(UniqueFd fd, const EventLayout& layout, bool learnKeys)
    : PedalReader(std::move(fd)), decoder_(layout, learnKeys) {}

void EventDeviceReader::Consume(const std::uint8_t* data, std::size_t n, const OnChange& onChange) {
    constexpr std::size_t kRecord = sizeof(input_event);
    auto feed = [&](const std::uint8_t* record) {
        input_event event;
        std::memcpy(&event, record, kRecord);
        const bool wasDropped = decoder_.Dropped();
        if (auto mask = decoder_.Feed(event)) Report(*mask, onChange);
        // The frame after a loss ends: ask the device which keys are down now.
        if (wasDropped && event.type == EV_SYN && event.code == SYN_REPORT) {
            std::uint8_t keys[KEY_MAX / 8 + 1] = {};
            const bool known = ::ioctl(fd_.Get(), EVIOCGKEY(sizeof keys), keys) >= 0;
            auto mask = decoder_.Resync(known ? std::span<const std::uint8_t>(keys)
                                              : std::span<const std::uint8_t>());
            if (mask) Report(*mask, onChange);
        }
    };
    std::size_t at = 0;
    if (!partial_.empty()) {
        const std::size_t take = std::min(kRecord - partial_.size(), n);
        partial_.insert(partial_.end(), data, data + take);
        at = take;
        if (partial_.size() < kRecord) return;
        feed(partial_.data());
        partial_.clear();
    }
    for (; at + kRecord <= n; at += kRecord) feed(data + at);
    partial_.assign(data + at, data + n);
}

}  // namespace input
