#pragma once
// One pass of the exchange with the I/O board, without port or thread: the
// I/O thread feeds it the bytes it reads and writes the bytes it returns, and
// tests drive it pass by pass.
//
// A pass: beginPass(word) with the output word copied from gDataOut; any
// number of receive() calls as bytes arrive; endPass(), whose bytes go to the
// board.  endPass() returns at most one set-outputs frame (when a type-2 reply
// of the pass echoed another word than the pass's) followed by exactly one
// request: IoCmdReadTemp1 on pass 200, IoCmdReadTemp2 on pass 210 (the count
// then starts again), IoCmdPollInputs otherwise.
//
// The link is lost when more than kLostPasses passes in a row brought no
// valid reply, whatever else arrived (noise or a foreign device does not keep
// it alive); the first valid reply of any type brings it back.
#include "ioframe.h"

class IoPassEngine {
public:
    static constexpr int kLostPasses = 1000;
    static constexpr int kTemp1Pass = 200;
    static constexpr int kValueCycle = 210;

    // What the bytes of one receive() did.
    struct Received {
        int taken = 0;            // bytes taken (at most the scanner's free room)
        int replies = 0;          // valid replies of any type
        bool hasInputs = false;   // a type-2 reply came; inputs is the last one's
        int inputs = 0;
        bool recovered = false;   // the link was lost and is back
    };

    // The end of a pass.
    struct PassEnd {
        unsigned char bytes[2 * sizeof(IoRequestFrame)];
        int length = 0;           // 6, or 12 with the set-outputs frame first
        bool resend = false;      // the set-outputs frame is included
        int request = 0;          // IoCmd of the request
        bool lost = false;        // the link was lost at this pass
    };

    void beginPass(int outputWord);
    Received receive(const unsigned char* data, int n);
    PassEnd endPass();

    // One whole pass with the bytes that arrived in it (tests).
    struct Pass {
        Received in;
        PassEnd out;
    };
    Pass runPass(int outputWord, const unsigned char* data, int n);

    bool isLost() const { return lost_; }
    int passesWithoutReply() const { return silentPasses_; }
    int passCounter() const { return passCounter_; }
    // Room for the next receive(): read no more than this from the port.
    int freeRoom() const { return scanner_.freeRoom(); }

private:
    IoReplyScanner scanner_;
    int passWord_ = 0;
    bool resend_ = false;
    bool validThisPass_ = false;
    int silentPasses_ = 0;   // passes since the last valid reply, saturated
    int passCounter_ = 0;    // 1..210 for the value requests
    bool lost_ = false;
};
