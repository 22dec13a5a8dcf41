#pragma once
// The settings dialog over a recording host with its multi-detection page,
// on a screen of the given size, the live record in the multi-detection
// mode as edit(live) leaves it.  The window opens the dialog as the program
// does: the edit copy refreshed from the live record, then shown.
#include "fakesettingshost.h"
#include "iowidget.h"
#include "relaylink.h"
#include "settingslayout.h"
#include "sharedboxes.h"
#include "testenv.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <QSize>

#include <functional>
#include <memory>

struct MultiDetectRig {
    TestEnv env;
    SharedBoxes boxes;
    WizardPara live;
    WizardPara bak;
    FakeSettingsHost host;
    RecordingRelayLink relay;
    std::unique_ptr<WizardParaWidget> dialog;
    int oldW = gShowW, oldH = gShowH;
    RelayLink* oldNet = gpNet;

    explicit MultiDetectRig(const std::function<void(WizardPara&)>& edit = {}, QSize screen = QSize(1280, 800))
    {
        gShowW = screen.width();
        gShowH = screen.height();
        resetSettingsMetrics();
        live = FirstStartParameters();
        live.systemMode = live.systemModePending = SystemModeMultiDetect;
        for (int i = 0; i < 8; ++i) {
            live.multiDetectRow[i] = -1;
            live.multiRowTrigger[i] = 0;
            live.multiRowCutMode[i] = 0;
            live.customInputName[i] = live.customOutputName[i] = 0;
        }
        live.multiDetectInOrder = 1;
        if (edit)
            edit(live);
        bak = live;
        gpWPara = &live;
        gpWParaBak = &bak;
        gpNet = &relay;
        dialog = std::make_unique<WizardParaWidget>(&host, false, nullptr);
    }
    ~MultiDetectRig()
    {
        dialog.reset();
        gpWPara = nullptr;
        gpWParaBak = nullptr;
        gpNet = oldNet;
        gShowW = oldW;
        gShowH = oldH;
        resetSettingsMetrics();
    }

    IOWidget& page() { return *dialog->ioPage; }

    void open()
    {
        bak = live;
        dialog->show();
    }
};
