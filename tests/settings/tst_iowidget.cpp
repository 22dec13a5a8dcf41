// The multi-detection page's widgets: the boxes mirror the model through
// touches, count changes and trigger choices; Confirm's refusal and its
// writing of the edit copy with the re-detections caption; the dialog's
// "Custom IO" and "IO name"; the page's fit on the smaller screens.
#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "editbox.h"
#include "messages.h"
#include "multidetectrig.h"

#include <QLabel>
#include <QtTest>

namespace {

// Every visible box of the page against the model.
void CheckMirror(IOWidget& page)
{
    const MultiDetectModel& m = page.model();
    QCOMPARE(page.detectCountBox->currentIndex(), m.count() - 2);
    for (int r = 0; r < 8; ++r) {
        IOCheckComBO* row = page.rows[r];
        QCOMPARE(row->isVisibleTo(&page), m.rowShown(r));
        if (!m.rowShown(r))
            continue;
        QStringList items;
        for (int i = 0; i < row->triggerBox->count(); ++i)
            items << row->triggerBox->itemText(i);
        QCOMPARE(items, m.triggerItems(r));
        QCOMPARE(row->triggerBox->currentIndex(), m.triggerIndex(r));
        QCOMPARE(row->triggerSlot, m.triggerSlot(r));
        QCOMPARE(row->cutModeBox->currentIndex(), m.cutMode(r));
        for (int k = 0; k < 8; ++k) {
            CheckBox* box = row->stepBox[k];
            QCOMPARE(box->isVisibleTo(&page), k < m.count());
            if (k >= m.count())
                continue;
            const QString where = QStringLiteral("box %1 %2").arg(r).arg(k);
            QVERIFY2(box->isChecked() == m.ticked(r, k), qPrintable(where));
            QVERIFY2(box->isEnabled() == !m.locked(r, k), qPrintable(where));
            const QColor text = box->palette().color(QPalette::WindowText);
            QVERIFY2(text == (m.locked(r, k) ? QColor(Qt::gray) : QColor(Qt::yellow)), qPrintable(where));
            QCOMPARE(box->text(), m.stepText(k));
        }
    }
}

}  // namespace

class TestIOWidget : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        FillMessageTable();
        gLan = LanEnglish;
    }

    void boxesMirrorTheModel()
    {
        MultiDetectRig rig([](WizardPara& p) {
            p.multiDetectCount = 8;
            for (int i = 0; i < 8; ++i)
                p.multiRowTrigger[i] = i;
            p.multiDetectRow[0] = 0;
            p.multiRowCutMode[2] = CutModeNGSelf;
            p.customOutputName[0] = 9;   // "Rot"
        });
        IOWidget& page = rig.page();
        QVERIFY(page.isHidden());   // built hidden
        CheckMirror(page);
        QCOMPARE(page.rows[3]->stepBox[7]->text(), QStringLiteral("Rot"));

        // A touch on a free box: the model takes it and the locks follow.
        page.rows[1]->stepBox[3]->click();
        QVERIFY(page.model().ticked(1, 3));
        QVERIFY(!page.rows[0]->stepBox[5]->isEnabled());
        CheckMirror(page);
        page.rows[1]->stepBox[3]->click();
        QVERIFY(!page.model().ticked(1, 3));
        CheckMirror(page);

        // The trigger cascade through the box.
        page.rows[1]->triggerBox->setCurrentIndex(4);   // row 0 has slot 0: item 4 is slot 4
        QCOMPARE(page.model().triggerSlot(1), 4);
        QCOMPARE(page.model().triggerSlot(2), 4);
        QCOMPARE(page.model().triggerSlot(5), 5);
        CheckMirror(page);

        // A lower count hides rows and steps, a cut mode is kept per row.
        page.detectCountBox->setCurrentIndex(3);   // five detections
        QCOMPARE(page.model().count(), 5);
        page.rows[4]->cutModeBox->setCurrentIndex(CutModeNone);
        QCOMPARE(page.model().cutMode(4), int(CutModeNone));
        CheckMirror(page);

        page.resetButton->click();
        QVERIFY(!page.model().ticked(0, 0));
        CheckMirror(page);
    }

    void confirmRefusesALastStepWithoutARow()
    {
        MultiDetectRig rig([](WizardPara& p) {
            p.multiDetectCount = 3;
            p.multiDetectRow[0] = 0;
        });
        rig.open();
        rig.dialog->SlotShowIOWidget();
        QVERIFY(rig.page().isVisible());
        const WizardPara before = rig.bak;
        rig.page().rows[1]->stepBox[1]->click();
        rig.page().confirmButton->click();
        QCOMPARE(rig.env.modalRequests.size(), size_t(1));
        QCOMPARE(rig.env.modalRequests[0].messageId, 512);
        QVERIFY(rig.page().isVisible());
        QVERIFY(std::memcmp(&before, &rig.bak, sizeof before) == 0);
    }

    // Five steps, both records in mode 4: the edit copy takes the whole
    // table and the common page's re-detections caption names the 5th.
    void confirmWritesTheEditCopyAndTheCaption_data()
    {
        QTest::addColumn<int>("editMode");
        QTest::addColumn<bool>("captioned");
        QTest::newRow("both records in mode 4") << int(SystemModeMultiDetect) << true;
        QTest::newRow("edit copy in another mode") << int(SystemModeStandard) << false;
    }

    void confirmWritesTheEditCopyAndTheCaption()
    {
        QFETCH(int, editMode);
        QFETCH(bool, captioned);
        MultiDetectRig rig([](WizardPara& p) {
            p.multiDetectCount = 8;
            for (int i = 0; i < 8; ++i)
                p.multiRowTrigger[i] = 7;
            p.multiDetectRow[7] = 3;
        });
        rig.open();
        rig.bak.systemMode = editMode;
        const QString captionBefore = rig.dialog->recheckBox->captionLabel->text();
        IOWidget& page = rig.page();
        rig.dialog->SlotShowIOWidget();
        page.detectCountBox->setCurrentIndex(3);   // 5: step 7 and row 3's slot drop
        page.rows[0]->stepBox[0]->click();
        page.rows[0]->stepBox[2]->click();
        page.rows[2]->stepBox[4]->click();
        page.rows[2]->cutModeBox->setCurrentIndex(CutModeAllDelay);
        page.notSequentialBox->click();
        page.confirmButton->click();

        QVERIFY(rig.env.modalRequests.empty());
        QVERIFY(page.isHidden());
        QCOMPARE(rig.bak.multiDetectCount, 5);
        const int rows[8] = {0, -1, 0, -1, 2, -1, -1, -1};
        const int triggers[8] = {4, 4, 4, 4, 4, 7, 7, 7};
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(rig.bak.multiDetectRow[i], rows[i]);
            QCOMPARE(rig.bak.multiRowTrigger[i], triggers[i]);
            QCOMPARE(rig.bak.multiRowCutMode[i], i == 2 ? int(CutModeAllDelay) : 0);
        }
        QCOMPARE(rig.bak.multiDetectInOrder, 0);
        QCOMPARE(rig.live.multiDetectCount, 8);   // the live record waits for the dialog's Confirm
        QCOMPARE(rig.dialog->recheckBox->captionLabel->text(),
                 captioned ? QStringLiteral("re-detect 5th") : captionBefore);
    }

    // The working copy is the live record's once, at construction: an
    // abandoned edit stays on the page at the next opening.
    void abandonedEditsStayOnThePage()
    {
        MultiDetectRig rig([](WizardPara& p) { p.multiDetectCount = 2; });
        rig.open();
        rig.dialog->SlotShowIOWidget();
        rig.page().rows[1]->stepBox[1]->click();
        rig.dialog->hide();
        QVERIFY(!rig.page().isVisible());
        rig.open();
        QVERIFY(rig.bak.multiDetectRow[1] == -1);
        QVERIFY(rig.page().model().ticked(1, 1));
        QVERIFY(rig.page().rows[1]->stepBox[1]->isChecked());
    }

    void ioNameButtonHidesTheDialogForTheNameDialog()
    {
        MultiDetectRig rig;
        QWidget names;
        rig.open();
        rig.dialog->SlotToIO();
        QVERIFY(rig.dialog->customIoButton->isVisible());
        rig.dialog->ioNameButton->click();   // no name dialog: nothing happens
        QVERIFY(rig.dialog->isVisible());
        rig.host.ioNames = &names;
        rig.dialog->ioNameButton->click();
        QVERIFY(!rig.dialog->isVisible());
        QVERIFY(names.isVisible());
        rig.open();
        rig.dialog->SlotToIO();
        rig.dialog->customIoButton->click();
        QVERIFY(rig.page().isVisible());
        QVERIFY(rig.dialog->isVisible());
    }

    // In the dialog's small form (700 x 500) the page lies over the window,
    // fitted to the screen, and goes with the dialog.
    void smallFormPageLiesOverTheWindow()
    {
        MultiDetectRig rig({}, QSize(1024, 600));
        QWidget window;
        window.resize(1024, 600);
        WizardParaWidget dialog(&rig.host, false, &window);
        QCOMPARE(dialog.ioPage->parentWidget(), &window);
        QVERIFY(QRect(0, 0, 1024, 600).contains(dialog.ioPage->geometry()));
        QVERIFY(dialog.ioPage->width() >= 1020);
        window.show();
        dialog.show();
        dialog.SlotShowIOWidget();
        QVERIFY(dialog.ioPage->isVisible());
        dialog.hide();
        QVERIFY(!dialog.ioPage->isVisible());
        dialog.show();   // back with the dialog, as a child would be
        QVERIFY(dialog.ioPage->isVisible());
        dialog.ioPage->rows[0]->stepBox[1]->click();   // the last step in a row
        dialog.ioPage->accept();
        QVERIFY(rig.env.modalRequests.empty());
        dialog.hide();
        dialog.show();
        QVERIFY(!dialog.ioPage->isVisible());
    }

    // The page fits the dialog it lies over, exactly where 1800 x 950 fits,
    // else scaled and covering it; every control lies inside the page, none
    // over another, and no font is under 12 px.
    void pageFits_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("1920x1080") << QSize(1920, 1080);
        QTest::newRow("1280x800") << QSize(1280, 800);
        QTest::newRow("1024x600") << QSize(1024, 600);
    }

    void pageFits()
    {
        QFETCH(QSize, screen);
        MultiDetectRig rig([](WizardPara& p) { p.multiDetectCount = 8; }, screen);
        IOWidget& page = rig.page();
        QWidget* over = page.parentWidget();
        QVERIFY(QRect(QPoint(0, 0), over->size()).contains(page.geometry()));
        if (screen.width() >= 1800)
            QCOMPARE(page.size(), QSize(1800, 950));
        else   // scaled, it still covers the dialog's own buttons
            QCOMPARE(page.geometry(), QRect(QPoint(0, 0), over->size()));
        const QRect inside(QPoint(0, 0), page.size());
        QList<QWidget*> controls{page.detectCountBox, page.resetButton, page.confirmButton, page.notSequentialBox};
        for (IOCheckComBO* row : page.rows)
            controls << row;
        for (QWidget* w : controls) {
            QVERIFY2(inside.contains(w->geometry()), qPrintable(w->metaObject()->className()));
            QVERIFY(w->font().pixelSize() < 0 || w->font().pixelSize() >= 12);
        }
        for (QWidget* w : page.findChildren<QWidget*>())
            QVERIFY(w->font().pixelSize() < 0 || w->font().pixelSize() >= 12);
        // Nothing overlaps: the rows, the box and the buttons.
        for (int a = 0; a < controls.size(); ++a)
            for (int b = a + 1; b < controls.size(); ++b)
                QVERIFY2(!controls[a]->geometry().intersects(controls[b]->geometry()),
                         qPrintable(QStringLiteral("%1 / %2").arg(a).arg(b)));
    }
};

QTEST_MAIN(TestIOWidget)
#include "tst_iowidget.moc"
