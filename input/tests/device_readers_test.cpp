#include "input/device_readers.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

using namespace input;

namespace {

struct Pipe {
    int read = -1, write = -1;
    Pipe() {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        read = fds[0];
        write = fds[1];
    }
    ~Pipe() { CloseWrite(); }
    void CloseWrite() {
        if (write >= 0) ::close(write);
        write = -1;
    }
};

// A socket pair that keeps the boundaries of each write, as hidraw keeps each report.
struct Packets {
    int read = -1, write = -1;
    Packets() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds), 0);
        read = fds[0];
        write = fds[1];
    }
    ~Packets() { CloseWrite(); }
    void Send(std::vector<std::uint8_t> report) {
        ASSERT_EQ(::send(write, report.data(), report.size(), 0), ssize_t(report.size()));
    }
    void CloseWrite() {
        if (write >= 0) ::close(write);
        write = -1;
    }
};

std::vector<std::uint8_t> Records(std::initializer_list<std::array<int, 3>> list) {
    std::vector<std::uint8_t> bytes;
    for (const auto& [type, code, value] : list) {
        input_event e{};
        e.type = static_cast<std::uint16_t>(type);
        e.code = static_cast<std::uint16_t>(code);
        e.value = value;
        const auto* p = reinterpret_cast<const std::uint8_t*>(&e);
        bytes.insert(bytes.end(), p, p + sizeof e);
    }
    return bytes;
}

const EventLayout kVecEvents{{BTN_0, BTN_1, BTN_2, 0}};
const RawLayout kMaskLayout{1, 8, 0, {0, 1, 2, 3}};

}  // namespace

TEST(EventDeviceReader, RecordsSplitAcrossReadsAndTheEndOfTheDevice) {
    Pipe pipe;
    EventDeviceReader reader(UniqueFd(pipe.read), kVecEvents, false);
    std::vector<PedalMask> seen;
    auto record = [&](PedalMask m) { seen.push_back(m); };

    const auto bytes = Records({{EV_MSC, MSC_SCAN, 0x90001},
                                {EV_KEY, BTN_0, 1},
                                {EV_SYN, SYN_REPORT, 0},
                                {EV_KEY, BTN_2, 1},
                                {EV_SYN, SYN_REPORT, 0}});
    // Written in odd pieces: every record is put together before it is decoded.
    std::size_t at = 0;
    for (std::size_t piece : {5u, 19u, 24u, 1u, 71u}) {
        piece = std::min(piece, bytes.size() - at);
        ASSERT_EQ(::write(pipe.write, bytes.data() + at, piece), ssize_t(piece));
        at += piece;
        auto result = reader.ReadAvailable(record);
        EXPECT_FALSE(result.gone);
    }
    ASSERT_EQ(at, bytes.size());
    EXPECT_EQ(seen, (std::vector<PedalMask>{0x01, 0x05}));
    // Nothing waiting: returns at once instead of blocking.
    EXPECT_FALSE(reader.ReadAvailable(record).gone);

    // The device vanishes half-way through a record while two pedals are down.
    const auto half = Records({{EV_KEY, BTN_0, 0}});
    ASSERT_EQ(::write(pipe.write, half.data(), 7), 7);
    pipe.CloseWrite();
    const auto result = reader.ReadAvailable(record);
    EXPECT_TRUE(result.gone);
    EXPECT_TRUE(reader.Gone());
    EXPECT_EQ(seen.back(), 0x00);
    EXPECT_EQ(reader.State(), 0x00);
}

TEST(EventDeviceReader, LostRecordsOnADeviceThatCannotTellReleaseEverything) {
    Pipe pipe;
    EventDeviceReader reader(UniqueFd(pipe.read), kVecEvents, false);
    std::vector<PedalMask> seen;
    const auto bytes = Records({{EV_KEY, BTN_1, 1},
                                {EV_SYN, SYN_REPORT, 0},
                                {EV_SYN, SYN_DROPPED, 0},
                                {EV_KEY, BTN_0, 1},
                                {EV_SYN, SYN_REPORT, 0}});
    ASSERT_EQ(::write(pipe.write, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    reader.ReadAvailable([&](PedalMask m) { seen.push_back(m); });
    // A pipe has no key bitmap: the pedal reported down before the loss comes up.
    EXPECT_EQ(seen, (std::vector<PedalMask>{0x02, 0x00}));
}

TEST(HidrawReader, ReportsOfTheWrongLengthAndADeviceGoneMidRead) {
    Packets packets;
    HidrawReader reader(UniqueFd(packets.read), kMaskLayout);
    std::vector<PedalMask> seen;
    auto record = [&](PedalMask m) { seen.push_back(m); };
    packets.Send({0x02});
    packets.Send(std::vector<std::uint8_t>(64, 0xff));  // too long: not an input report
    packets.Send({0x02, 0x00});                         // same state: nothing new
    packets.Send({0x06});
    reader.ReadAvailable(record);
    EXPECT_EQ(seen, (std::vector<PedalMask>{0x02, 0x06}));
    EXPECT_EQ(reader.IgnoredReports(), 1);
    packets.CloseWrite();
    EXPECT_TRUE(reader.ReadAvailable(record).gone);
    EXPECT_EQ(seen.back(), 0x00);
    // Reading a reader that is gone does nothing.
    EXPECT_FALSE(reader.ReadAvailable(record).gone);
}

TEST(HidrawReader, AFloodIsReadInBoundedSlices) {
    Packets packets;
    HidrawReader reader(UniqueFd(packets.read), kMaskLayout);
    int changes = 0;
    std::thread writer([&] {
        // A report every 100 µs for a while, alternating, then the pedal up.
        for (int i = 0; i < 3000; ++i) {
            const std::uint8_t report = i % 2 ? 0x01 : 0x00;
            while (::send(packets.write, &report, 1, 0) < 0 && errno == EINTR) {
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        packets.CloseWrite();
    });
    int calls = 0;
    for (;;) {
        const auto result = reader.ReadAvailable([&](PedalMask) { ++changes; }, 64);
        ++calls;
        if (result.gone) break;
        if (!result.more) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    writer.join();
    EXPECT_EQ(changes, 3000);  // every change seen, and the last pedal came up at the end
    EXPECT_EQ(reader.State(), 0x00);
    EXPECT_GT(calls, 3000 / 64);
}

TEST(HidrawReader, OneCallReadsNoMoreThanItsSlice) {
    Packets packets;
    HidrawReader reader(UniqueFd(packets.read), kMaskLayout);
    for (int i = 0; i < 100; ++i) packets.Send({std::uint8_t((i + 1) % 2)});
    int changes = 0;
    auto count = [&](PedalMask) { ++changes; };
    EXPECT_TRUE(reader.ReadAvailable(count, 64).more);
    EXPECT_EQ(changes, 64);
    EXPECT_FALSE(reader.ReadAvailable(count, 64).more);
    EXPECT_EQ(changes, 100);
}
