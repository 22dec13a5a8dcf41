#pragma once
// The I/O board's two frame formats and the scanner that finds replies in
// the byte stream.  Pure code: no port, no thread, no globals.
//
// Request, host to board, 6 bytes:  5F cmd lo hi ck F5
//   ck = (5F + cmd + lo + hi) mod 256 (start byte included, end byte not).
// Reply, board to host, 8 bytes:    5F type d0 d1 d2 d3 ck F5
//   ck = sum of bytes 0..5 mod 256.  Type 2 carries the inputs
//   (d0 | (d1 & 3) << 8) and the output word the board applies
//   (d2 | (d3 & 3) << 8); types 3 and 4 a 32-bit little-endian value nobody
//   uses; any other type is a valid frame without effect (a sign of life).

constexpr unsigned char kIoStartByte = 0x5F;
constexpr unsigned char kIoEndByte = 0xF5;

enum IoCmd : unsigned char {
    IoCmdSetOutputs = 1,   // value: the output word
    IoCmdPollInputs = 2,   // answered by a type-2 reply
    IoCmdReadTemp1 = 3,    // answered by a type-3 reply
    IoCmdReadTemp2 = 4,    // answered by a type-4 reply
};

enum IoReplyType : unsigned char {
    IoReplyInputs = 2,
    IoReplyTemp1 = 3,
    IoReplyTemp2 = 4,
};

struct IoRequestFrame {
    unsigned char start;
    unsigned char cmd;
    unsigned char lo;      // value bits 0..7
    unsigned char hi;      // value bits 8..15
    unsigned char check;
    unsigned char end;
};
static_assert(sizeof(IoRequestFrame) == 6, "the board expects 6-byte requests");

struct IoReplyFrame {
    unsigned char start;
    unsigned char type;
    unsigned char d0, d1, d2, d3;
    unsigned char check;
    unsigned char end;

    // Type 2 only: the ten input bits and the board's applied output word
    // (only bits 0 and 1 of d1 and d3 count).
    int inputs() const { return d0 | ((d1 & 0x03) << 8); }
    int outputEcho() const { return d2 | ((d3 & 0x03) << 8); }
    // Types 3 and 4: the little-endian value.
    unsigned int value() const;
};
static_assert(sizeof(IoReplyFrame) == 8, "the board sends 8-byte replies");

// Sum of the n bytes at p modulo 256 (0 for n = 0).  Called an LRC by the
// board's documentation, though it is a plain sum.
unsigned char calcLRC(const unsigned char* p, unsigned short n);

// The request for cmd (low byte) with value (low 16 bits).
IoRequestFrame EncodeIoRequest(int cmd, int value);

// Accumulates received bytes and finds the valid replies in them.
//
// Scan rules: while at least 8 unscanned bytes remain, a byte other than 0x5F
// is skipped; at a 0x5F the next 8 bytes are a valid reply when byte 6 is the
// sum of bytes 0..5 and byte 7 is 0xF5; a valid reply is consumed whole,
// otherwise only the 0x5F is skipped (a start byte inside a damaged frame may
// still begin a good one).  The unscanned rest (fewer than 8 bytes) is kept
// at the start of the buffer for the next bytes to complete.
//
// Nothing is dropped: append() takes no more than the free room, and after a
// scan at least kCapacity - 7 bytes are free again.
class IoReplyScanner {
public:
    static constexpr int kCapacity = 1024;

    int size() const { return fill_; }
    int freeRoom() const { return kCapacity - fill_; }

    // Copies up to freeRoom() of the n bytes; returns how many were taken.
    int append(const unsigned char* data, int n);
    // For reading straight into the buffer: up to freeRoom() bytes at room(),
    // then commit(count read).
    unsigned char* room() { return buf_ + fill_; }
    void commit(int n);

    // The next valid reply; false when fewer than 8 unscanned bytes remain,
    // which are then moved to the start of the buffer.
    bool next(IoReplyFrame& frame);

    void clear() { fill_ = pos_ = 0; }

private:
    unsigned char buf_[kCapacity];
    int fill_ = 0;   // bytes held
    int pos_ = 0;    // first unscanned byte
};
