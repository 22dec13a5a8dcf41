// Memory of a camera slot: frames and ignore masks are allocated with the
// geometry; a template slot or a recent-NG frame only by its first store.
#include "cameraslotstate.h"

#include <QtTest>

#include <algorithm>
#include <cstring>

namespace {

// Bytes held by every template slot and recent-NG frame of the slot.
size_t lazyBytes(const CameraSlotState& s)
{
    size_t n = 0;
    for (int d = 0; d < kDetections; ++d) {
        for (const auto& t : s.templates[d])
            n += t.capacity();
        for (const auto& f : s.recentNG[d])
            n += f.capacity();
    }
    return n;
}

} // namespace

class TestSlotBuffers : public QObject {
    Q_OBJECT
private slots:
    void storesAllocateOneBufferEach_data();
    void storesAllocateOneBufferEach();
    void outOfRangeStoresGetNoBuffer();
    void reallocationReleasesStoredBuffers();
};

void TestSlotBuffers::storesAllocateOneBufferEach_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<bool>("color");
    QTest::addColumn<int>("slotCount");
    QTest::addColumn<int>("frameBytes");
    QTest::newRow("grey 1280x1024, 10 slots") << 1280 << 1024 << false << 10 << 1280 * 1024;
    QTest::newRow("colour 64x48, 100 slots") << 64 << 48 << true << 100 << 4 * 64 * 48;
    QTest::newRow("width 30, 1 slot") << 30 << 7 << false << 1 << 30 * 7;
}

void TestSlotBuffers::storesAllocateOneBufferEach()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(bool, color);
    QFETCH(int, slotCount);
    QFETCH(int, frameBytes);

    CameraSlotState s;
    s.AllocateSlotBuffers(w, h, color, slotCount);
    QCOMPARE(s.colorLen, frameBytes);
    QCOMPARE(s.procFrame.size(), size_t(frameBytes));
    QCOMPARE(s.shownFrame.size(), size_t(frameBytes));
    for (int d = 0; d < kDetections; ++d) {
        QCOMPARE(s.ignoreMask[d].size(), size_t(w * h));
        // Every slot is addressable, none holds memory or a picture.
        QCOMPARE(int(s.templates[d].size()), slotCount);
        QCOMPARE(int(s.templateValid[d].size()), slotCount);
        QCOMPARE(s.templateCount[d], 0);
        QCOMPARE(s.recentNGCount[d], 0);
    }
    QCOMPARE(lazyBytes(s), size_t(0));

    // The first store takes exactly one zeroed buffer; the next store of the
    // same slot reuses it and keeps what it holds.
    const int lastSlot = slotCount - 1;
    uchar* t = s.TemplateBuffer(7, lastSlot);
    QVERIFY(t);
    QCOMPARE(lazyBytes(s), size_t(frameBytes));
    QCOMPARE(s.templates[7][size_t(lastSlot)].size(), size_t(frameBytes));
    QVERIFY(std::all_of(t, t + frameBytes, [](uchar v) { return v == 0; }));
    t[0] = 42;
    t[frameBytes - 1] = 43;
    QCOMPARE(s.TemplateBuffer(7, lastSlot), t);
    QCOMPARE(int(t[0]), 42);
    QCOMPARE(int(t[frameBytes - 1]), 43);
    QCOMPARE(lazyBytes(s), size_t(frameBytes));
    for (int k = 0; k < lastSlot; ++k)
        QVERIFY(s.templates[7][size_t(k)].empty());

    uchar* ng = s.RecentNGBuffer(2, 1);
    QVERIFY(ng);
    QCOMPARE(s.recentNG[2][1].size(), size_t(frameBytes));
    QVERIFY(s.recentNG[2][0].empty());
    QVERIFY(s.recentNG[2][2].empty());
    QCOMPARE(lazyBytes(s), size_t(2 * frameBytes));
    QCOMPARE(s.RecentNGBuffer(2, 1), ng);
}

void TestSlotBuffers::outOfRangeStoresGetNoBuffer()
{
    CameraSlotState unallocated;
    QVERIFY(!unallocated.TemplateBuffer(0, 0));
    QVERIFY(!unallocated.RecentNGBuffer(0, 0));

    CameraSlotState s;
    s.AllocateSlotBuffers(32, 16, false, 4);
    struct Case { int d, t; };
    for (const Case c : {Case{-1, 0}, Case{kDetections, 0}, Case{0, -1}, Case{0, 4}})
        QVERIFY2(!s.TemplateBuffer(c.d, c.t), qPrintable(QStringLiteral("template %1 %2").arg(c.d).arg(c.t)));
    for (const Case c : {Case{-1, 0}, Case{kDetections, 0}, Case{0, -1}, Case{0, CameraSlotState::kRecentNGFrames}})
        QVERIFY2(!s.RecentNGBuffer(c.d, c.t), qPrintable(QStringLiteral("recent %1 %2").arg(c.d).arg(c.t)));
    QCOMPARE(lazyBytes(s), size_t(0));
}

void TestSlotBuffers::reallocationReleasesStoredBuffers()
{
    CameraSlotState s;
    s.AllocateSlotBuffers(40, 30, false, 3);
    std::memset(s.TemplateBuffer(0, 2), 9, 40 * 30);
    s.templateValid[0][2] = 1;
    s.templateCount[0] = 1;
    std::memset(s.RecentNGBuffer(5, 0), 9, 40 * 30);
    s.recentNGCount[5] = 4;
    s.recentShown = 2;

    // A new geometry: no buffer of the old size may survive to be read as a
    // picture of the new one.
    s.AllocateSlotBuffers(20, 10, true, 3);
    QCOMPARE(lazyBytes(s), size_t(0));
    QCOMPARE(s.templateValid[0][2], 0);
    QCOMPARE(s.templateCount[0], 0);
    QCOMPARE(s.recentNGCount[5], 0);
    QCOMPARE(s.recentShown, 0);
    QCOMPARE(s.templates[0].size(), size_t(3));
    QCOMPARE(s.TemplateBuffer(0, 2)[0], uchar(0));
    QCOMPARE(s.templates[0][2].size(), size_t(4 * 20 * 10));
}

QTEST_GUILESS_MAIN(TestSlotBuffers)
#include "tst_slotbuffers.moc"
