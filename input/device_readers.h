// Readers of one open pedal device: raw HID reports (hidraw) or input records (evdev).
//
// A reader takes any file descriptor (a device node, a pipe or a socket pair in tests), set
// non-blocking by the reader. `ReadAvailable` never blocks: it reads what is there, at most
// `maxReads` reads, and reports each change of the pedal mask. A device that is gone (end of
// file, ENODEV, any read error but EAGAIN/EINTR) ends the reader: `Gone()` is true, the mask
// is reported as all pedals up so that nothing stays held. One reader belongs to one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "input/pedal_models.h"

namespace input {

// Owns a file descriptor.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    ~UniqueFd();
    int Get() const { return fd_; }
    int Release();

  private:
    int fd_ = -1;
};

class PedalReader {
  public:
    using OnChange = std::function<void(PedalMask)>;
    struct Result {
        bool more = false;  // stopped at `maxReads` with data possibly left
        bool gone = false;  // the device went away during this call
        int error = 0;      // errno of the failed read, 0 at end of file
    };
    explicit PedalReader(UniqueFd fd);
    virtual ~PedalReader() = default;
    int Fd() const { return fd_.Get(); }
    bool Gone() const { return gone_; }
    PedalMask State() const { return state_; }
    Result ReadAvailable(const OnChange& onChange, int maxReads = 256);

  protected:
    // Consumes `n` bytes of one read; reports changes through `Report`.
    virtual void Consume(const std::uint8_t* data, std::size_t n, const OnChange& onChange) = 0;
    // Reports `mask` when it differs from the last one.
    void Report(PedalMask mask, const OnChange& onChange);
    UniqueFd fd_;

  private:
    bool gone_ = false;
    PedalMask state_ = 0;
    std::vector<std::uint8_t> buffer_;
};

// One read() is one report, as hidraw delivers them (and a SOCK_SEQPACKET pair in tests).
class HidrawReader : public PedalReader {
  public:
    HidrawReader(UniqueFd fd, const RawLayout& layout);
    long IgnoredReports() const { return ignored_; }

  protected:
    void Consume(const std::uint8_t* data, std::size_t n, const OnChange& onChange) override;

  private:
    RawLayout layout_;
    long ignored_ = 0;
};

// A stream of `struct input_event` records; a record split across reads is put together.
class EventDeviceReader : public PedalReader {
  public:
    EventDeviceReader(UniqueFd fd, const EventLayout& layout, bool learnKeys);
    const EventDecoder& Decoder() const { return decoder_; }

  protected:
    void Consume(const std::uint8_t* data, std::size_t n, const OnChange& onChange) override;

  private:
    EventDecoder decoder_;
    std::vector<std::uint8_t> partial_;
};

}  // namespace input
