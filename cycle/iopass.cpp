#include "iopass.h"

#include <cstring>

void IoPassEngine::beginPass(int outputWord)
{
    passWord_ = outputWord;
    resend_ = false;
    validThisPass_ = false;
}

IoPassEngine::Received IoPassEngine::receive(const unsigned char* data, int n)
{
    Received r;
    r.taken = scanner_.append(data, n);
    IoReplyFrame f;
    while (scanner_.next(f)) {
        ++r.replies;
        validThisPass_ = true;
        silentPasses_ = 0;
        if (lost_) {
            lost_ = false;
            r.recovered = true;
        }
        if (f.type == IoReplyInputs) {
            r.hasInputs = true;
            r.inputs = f.inputs();
            if (f.outputEcho() != passWord_)
                resend_ = true;
        }
    }
    return r;
}

IoPassEngine::PassEnd IoPassEngine::endPass()
{
    PassEnd e;
    if (!validThisPass_) {
        if (silentPasses_ <= kLostPasses)
            ++silentPasses_;
        if (silentPasses_ > kLostPasses && !lost_) {
            lost_ = true;
            e.lost = true;
        }
    }
    if (resend_) {
        const IoRequestFrame f = EncodeIoRequest(IoCmdSetOutputs, passWord_);
        std::memcpy(e.bytes, &f, sizeof f);
        e.length = int(sizeof f);
        e.resend = true;
    }
    ++passCounter_;
    if (passCounter_ == kTemp1Pass) {
        e.request = IoCmdReadTemp1;
    } else if (passCounter_ >= kValueCycle) {
        e.request = IoCmdReadTemp2;
        passCounter_ = 0;
    } else {
        e.request = IoCmdPollInputs;
    }
    const IoRequestFrame f = EncodeIoRequest(e.request, 0);
    std::memcpy(e.bytes + e.length, &f, sizeof f);
    e.length += int(sizeof f);
    resend_ = false;
    validThisPass_ = false;
    return e;
}

IoPassEngine::Pass IoPassEngine::runPass(int outputWord, const unsigned char* data, int n)
{
    Pass p;
    beginPass(outputWord);
    while (n > 0) {
        Received r = receive(data, n);
        p.in.taken += r.taken;
        p.in.replies += r.replies;
        if (r.hasInputs) {
            p.in.hasInputs = true;
            p.in.inputs = r.inputs;
        }
        p.in.recovered = p.in.recovered || r.recovered;
        if (r.taken == 0)
            break;
        data += r.taken;
        n -= r.taken;
    }
    p.out = endPass();
    return p;
}
