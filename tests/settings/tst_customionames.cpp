// The I/O-name dialog: its boxes start from the multi-detection page's name
// indices, Confirm writes the page's copies and the edit copy, relabels the
// page's rows and brings the settings dialog back; the slot labels in the
// three languages.
#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "customionamewidget.h"
#include "ionames.h"
#include "messages.h"
#include "multidetectrig.h"

#include <QLabel>
#include <QtTest>

class TestCustomIONames : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void cleanup() { gLan = LanEnglish; }

    void confirmWritesBothCopiesAndRelabelsThePage()
    {
        gLan = LanEnglish;
        MultiDetectRig rig([](WizardPara& p) {
            p.multiDetectCount = 4;
            for (int i = 0; i < 8; ++i)
                p.multiRowTrigger[i] = 0;
            p.customInputName[5] = 7;
            p.customOutputName[3] = 12;
        });
        QWidget window;
        window.resize(1280, 800);
        CustomIONameWidget names(&window, rig.dialog.get());
        names.init();
        QCOMPARE(names.inputNameBox[5]->currentIndex(), 7);
        QCOMPARE(names.outputNameBox[3]->currentIndex(), 12);
        QCOMPARE(names.inputNameBox[0]->count(), kInNames);
        QCOMPARE(names.outputNameBox[0]->count(), kOutNames);

        rig.open();
        rig.host.ioNames = &names;
        window.show();
        rig.dialog->SlotShowCustomIONameWidget();
        QVERIFY(names.isVisible());
        QVERIFY(!rig.dialog->isVisible());
        // Centred on the window.
        QVERIFY(qAbs(names.geometry().center().x() - 640) <= 1);

        names.inputNameBox[2]->setCurrentIndex(2);     // "op door" on input slot 2 (input 4)
        names.outputNameBox[0]->setCurrentIndex(9);    // "Rot" on output slot 0
        names.inputNameBox[6]->setCurrentIndex(-1);    // no selection: the slot keeps its name
        names.confirmButton->click();

        QVERIFY(!names.isVisible());
        QVERIFY(rig.dialog->isVisible());
        const MultiDetectModel& m = rig.page().model();
        for (int k = 0; k < 8; ++k) {
            if (k != 6)
                QCOMPARE(rig.bak.customInputName[k], names.inputNameBox[k]->currentIndex());
            QCOMPARE(rig.bak.customOutputName[k], names.outputNameBox[k]->currentIndex());
            QCOMPARE(m.inputNameIndex(k), rig.bak.customInputName[k]);
            QCOMPARE(m.outputNameIndex(k), rig.bak.customOutputName[k]);
        }
        QCOMPARE(rig.bak.customInputName[5], 7);   // untouched boxes write their index back
        QCOMPARE(rig.bak.customInputName[6], 0);   // never -1, which names nothing
        QCOMPARE(rig.live.customInputName[2], 0);  // the live record waits for the dialog's Confirm
        // Row 0 offers slots 0..3: its third item is input 4's.
        QCOMPARE(rig.page().rows[0]->triggerBox->itemText(2), QStringLiteral("op door"));
        for (int r = 0; r < 4; ++r)
            QCOMPARE(rig.page().rows[r]->stepBox[3]->text(), QStringLiteral("Rot"));
        QCOMPARE(rig.page().rows[0]->stepBox[2]->text(), QStringLiteral("Mov mol"));   // output slot 3
    }

    void slotLabelsInTheThreeLanguages_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("input1");
        QTest::addColumn<QString>("output7");
        QTest::addColumn<QString>("firstName");
        QTest::newRow("Simplified Chinese") << int(LanSimplifiedChinese) << "输入 3" << "输出 9" << "开模到位";
        QTest::newRow("English") << int(LanEnglish) << "Input 3" << "Output 9" << "Mol op";
        QTest::newRow("Traditional Chinese: the Chinese labels")
            << int(LanTraditionalChinese) << "输入 3" << "输出 9" << "開模到位";
    }

    void slotLabelsInTheThreeLanguages()
    {
        QFETCH(int, language);
        QFETCH(QString, input1);
        QFETCH(QString, output7);
        QFETCH(QString, firstName);
        gLan = language;
        MultiDetectRig rig;
        CustomIONameWidget names(nullptr, rig.dialog.get());
        QCOMPARE(names.inputLabel[1]->text(), input1);
        QCOMPARE(names.outputLabel[7]->text(), output7);
        QCOMPARE(names.inputNameBox[4]->itemText(0), firstName);
        QCOMPARE(CustomInputLabel(8), QString());
    }

    // Eight 180 px columns fit every screen: exact where they fit, scaled
    // below, never under 12 px.
    void dialogFits_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("1920x1080") << QSize(1920, 1080);
        QTest::newRow("1280x800") << QSize(1280, 800);
        QTest::newRow("1024x600") << QSize(1024, 600);
    }

    void dialogFits()
    {
        QFETCH(QSize, screen);
        gLan = LanEnglish;
        MultiDetectRig rig({}, screen);
        QWidget window;
        window.resize(screen);
        CustomIONameWidget names(&window, rig.dialog.get());
        window.show();
        names.show();
        QVERIFY(QRect(QPoint(0, 0), screen).contains(names.geometry()));
        if (screen.width() >= 1920)
            QCOMPARE(names.inputLabel[0]->width(), 180);
        for (QWidget* w : names.findChildren<QWidget*>())
            QVERIFY(w->font().pixelSize() < 0 || w->font().pixelSize() >= 12);
        QVERIFY(names.confirmButton->geometry().right() < names.width());
    }
};

QTEST_MAIN(TestCustomIONames)
#include "tst_customionames.moc"
