#pragma once
// Cases the camera-slot tests share: the rows of a relay offer and the one
// area an area label is made of.
#include "cammersingleton.h"
#include "wizardpara.h"

#include <QtTest>

#include <memory>

// Data rows over every combination of the network switch, an open relay
// server and a live link (columns netEnabled, serverOpen, linkAlive).
inline void addRelayOfferRows()
{
    QTest::addColumn<bool>("netEnabled");
    QTest::addColumn<bool>("serverOpen");
    QTest::addColumn<bool>("linkAlive");
    for (int bits = 0; bits < 8; ++bits) {
        const bool net = bits & 4, open = bits & 2, alive = bits & 1;
        QTest::addRow("net %d, server %d, link %d", net, open, alive) << net << open << alive;
    }
}

// Area index of detection d, one of areas, with method, sensibility b and
// maximum area c; details as the algorithm-details switch.
struct AreaLabelCase {
    std::unique_ptr<WizardPara> para = std::make_unique<WizardPara>();
    std::unique_ptr<CammerSingleton> set = std::make_unique<CammerSingleton>(0);

    AreaLabelCase(int d, int areas, int index, int method, int b, int c, int details)
    {
        para->minimumArea = 500;
        para->showAlgorithmDetails = details;
        set->roiCount[d] = areas;
        set->roiMethod[d][index] = method;
        set->roiSensibility[d][index] = b;
        set->roiMaxArea[d][index] = c;
    }
};
