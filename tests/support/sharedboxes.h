#pragma once
// Fresh shared boxes (gpWarnBox, gpChooseBox) for one test, the previous
// ones put back afterwards.  Their exec() answers from the TestEnv script.
#include "choosebox.h"
#include "warnbox.h"

class SharedBoxes {
public:
    SharedBoxes() : oldWarn_(gpWarnBox), oldChoose_(gpChooseBox)
    {
        gpWarnBox = new WarnBox;
        gpChooseBox = new ChooseBox;
    }
    ~SharedBoxes()
    {
        delete gpWarnBox;
        delete gpChooseBox;
        gpWarnBox = oldWarn_;
        gpChooseBox = oldChoose_;
    }
    SharedBoxes(const SharedBoxes&) = delete;
    SharedBoxes& operator=(const SharedBoxes&) = delete;

private:
    WarnBox* oldWarn_;
    ChooseBox* oldChoose_;
};
