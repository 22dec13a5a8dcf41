#include "ioframe.h"

#include <cstring>

unsigned int IoReplyFrame::value() const
{
    return unsigned(d0) | unsigned(d1) << 8 | unsigned(d2) << 16 | unsigned(d3) << 24;
}

unsigned char calcLRC(const unsigned char* p, unsigned short n)
{
    unsigned int sum = 0;
    for (unsigned short i = 0; i < n; ++i)
        sum += p[i];
    return static_cast<unsigned char>(sum & 0xFF);
}

IoRequestFrame EncodeIoRequest(int cmd, int value)
{
    IoRequestFrame f;
    f.start = kIoStartByte;
    f.cmd = static_cast<unsigned char>(cmd & 0xFF);
    f.lo = static_cast<unsigned char>(value & 0xFF);
    f.hi = static_cast<unsigned char>((value >> 8) & 0xFF);
    f.check = calcLRC(&f.start, 4);
    f.end = kIoEndByte;
    return f;
}

int IoReplyScanner::append(const unsigned char* data, int n)
{
    if (n <= 0)
        return 0;
    const int take = n < freeRoom() ? n : freeRoom();
    std::memcpy(buf_ + fill_, data, size_t(take));
    fill_ += take;
    return take;
}

void IoReplyScanner::commit(int n)
{
    if (n <= 0)
        return;
    fill_ += n < freeRoom() ? n : freeRoom();
}

bool IoReplyScanner::next(IoReplyFrame& frame)
{
    constexpr int kLen = int(sizeof(IoReplyFrame));
    while (fill_ - pos_ >= kLen) {
        const unsigned char* p = buf_ + pos_;
        if (p[0] == kIoStartByte && p[7] == kIoEndByte && p[6] == calcLRC(p, 6)) {
            std::memcpy(&frame, p, kLen);
            pos_ += kLen;
            return true;
        }
        ++pos_;   // not a start byte, or the start of a damaged frame
    }
    // Keep the unscanned rest for the next bytes to complete.
    const int rest = fill_ - pos_;
    if (pos_ > 0 && rest > 0)
        std::memmove(buf_, buf_ + pos_, size_t(rest));
    fill_ = rest;
    pos_ = 0;
    return false;
}
