#pragma once
// The grab side of one slot's frame hand-over.  A frame is brought into the
// processed layout (grey, or RGBA with colour processing) and copied whole
// into the receive buffer under pMutex[slot], where the main loop takes it;
// the newest frame wins.  One producer at a time (the grab thread or the
// SDK's callback thread) delivers; the buffers are sized from the geometry
// at construction.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class FrameHandOver {
public:
    explicit FrameHandOver(int camIndex);
    FrameHandOver(const FrameHandOver&) = delete;
    FrameHandOver& operator=(const FrameHandOver&) = delete;

    // gImageLen bytes of grey; gImageLen x 3 bytes of RGB24.
    void deliverGrey(const uint8_t* grey);
    void deliverRgb(const uint8_t* rgb);
    // A frame that did not fit the processed size.
    void drop() { ++dropped_; }

    // Consumer side: when the slot's flag is set, copies gColorLen bytes into
    // dst and clears the flag.
    bool take(uint8_t* dst);

    // Scratch for the producer: 4 x gImageLen bytes.
    uint8_t* grabBuffer() { return grab_.data(); }
    size_t grabBufferSize() const { return grab_.size(); }

    uint64_t delivered() const { return delivered_.load(); }
    uint64_t dropped() const { return dropped_.load(); }

private:
    void deliver(const uint8_t* frame, size_t length);

    const int camIndex_;
    std::vector<uint8_t> recv_, grab_, convert_;
    std::atomic<uint64_t> delivered_{0};
    std::atomic<uint64_t> dropped_{0};
};
