// Blob labelling: 8-connectivity, pixel-count areas, deterministic order.
#include "blobresult.h"
#include "testenv.h"

#include <QtTest>
#include <opencv2/imgproc.hpp>

class TestBlobs : public QObject {
    Q_OBJECT
private slots:
    void init() { env_ = std::make_unique<TestEnv>(); }
    void cleanup() { env_.reset(); }

    void diagonalPixelsAreOneBlob();
    void areaIsPixelCount();
    void orderIsTopThenLeft();
    void manyBlobsKeepRasterOrder();
    void maskAndBackground();
    void emptyOrWrongInput();
    void sameBlobsAsPixelLabelling_data();
    void sameBlobsAsPixelLabelling();

private:
    std::unique_ptr<TestEnv> env_;
};

void TestBlobs::diagonalPixelsAreOneBlob()
{
    cv::Mat img = cv::Mat::zeros(10, 10, CV_8UC1);
    for (int k = 0; k < 5; ++k)
        img.at<uchar>(k, k) = 255;
    const CBlobResult blobs(img, cv::Mat(), 0);
    QCOMPARE(blobs.GetNumBlobs(), 1);
    QCOMPARE(blobs.GetBlob(0)->Area(), 5.0);
    QCOMPARE(blobs.GetBlob(0)->GetBoundingBox(), cv::Rect(0, 0, 5, 5));
}

void TestBlobs::areaIsPixelCount()
{
    cv::Mat img = cv::Mat::zeros(40, 40, CV_8UC1);
    cv::circle(img, {20, 20}, 8, cv::Scalar(200), cv::FILLED);
    const CBlobResult blobs(img);
    QCOMPARE(blobs.GetNumBlobs(), 1);
    QCOMPARE(blobs.GetBlob(0)->Area(), double(cv::countNonZero(img)));
}

void TestBlobs::orderIsTopThenLeft()
{
    cv::Mat img = cv::Mat::zeros(50, 50, CV_8UC1);
    img(cv::Rect(30, 5, 4, 4)).setTo(255);  // top right
    img(cv::Rect(2, 30, 6, 6)).setTo(255);  // lower left
    img(cv::Rect(10, 5, 3, 3)).setTo(255);  // top left, same top
    const CBlobResult blobs(img);
    QCOMPARE(blobs.GetNumBlobs(), 3);
    QCOMPARE(blobs.GetBlob(0)->GetBoundingBox(), cv::Rect(10, 5, 3, 3));
    QCOMPARE(blobs.GetBlob(1)->GetBoundingBox(), cv::Rect(30, 5, 4, 4));
    QCOMPARE(blobs.GetBlob(2)->GetBoundingBox(), cv::Rect(2, 30, 6, 6));
    QVERIFY(blobs.GetBlob(3) == nullptr);
    QVERIFY(blobs.GetBlob(-1) == nullptr);
}

void TestBlobs::manyBlobsKeepRasterOrder()
{
    // 150 dots on a grid: every blob, sorted by row then column.
    cv::Mat img = cv::Mat::zeros(150, 150, CV_8UC1);
    for (int r = 0; r < 10; ++r)
        for (int c = 0; c < 15; ++c)
            img(cv::Rect(c * 10 + 1, r * 15 + 2, 2 + (c % 3), 2)).setTo(255);
    const CBlobResult blobs(img);
    QCOMPARE(blobs.GetNumBlobs(), 150);
    double sum = 0;
    for (int k = 0; k < blobs.GetNumBlobs(); ++k) {
        const cv::Rect b = blobs.GetBlob(k)->GetBoundingBox();
        QCOMPARE(b.y, (k / 15) * 15 + 2);
        QCOMPARE(b.x, (k % 15) * 10 + 1);
        sum += blobs.GetBlob(k)->Area();
    }
    QCOMPARE(sum, double(cv::countNonZero(img)));
}

void TestBlobs::maskAndBackground()
{
    cv::Mat img(20, 20, CV_8UC1, cv::Scalar(9));
    img(cv::Rect(2, 2, 5, 5)).setTo(0);
    // Background 9: the 0 square is the only blob.
    const CBlobResult onNine(img, cv::Mat(), 9);
    QCOMPARE(onNine.GetNumBlobs(), 1);
    QCOMPARE(onNine.GetBlob(0)->Area(), 25.0);
    // A mask keeps only part of it.
    cv::Mat mask = cv::Mat::zeros(20, 20, CV_8UC1);
    mask(cv::Rect(0, 0, 4, 20)).setTo(255);
    const CBlobResult masked(img, mask, 9);
    QCOMPARE(masked.GetBlob(0)->Area(), 10.0);
}

void TestBlobs::emptyOrWrongInput()
{
    QCOMPARE(CBlobResult(cv::Mat()).GetNumBlobs(), 0);
    QCOMPARE(CBlobResult(cv::Mat::zeros(5, 5, CV_8UC1)).GetNumBlobs(), 0);
    QCOMPARE(CBlobResult(cv::Mat::ones(5, 5, CV_32F)).GetNumBlobs(), 0);
}

void TestBlobs::sameBlobsAsPixelLabelling_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("seed");
    QTest::addColumn<bool>("masked");
    const char* kinds[] = {"sparse dots", "dense noise", "opened noise", "strokes and rings", "full"};
    for (int kind = 0; kind < 5; ++kind)
        for (int seed = 1; seed <= 3; ++seed)
            for (bool masked : {false, true})
                QTest::addRow("%s, seed %d%s", kinds[kind], seed, masked ? ", masked" : "") << kind << seed << masked;
}

// Areas and boxes, in order, equal those of OpenCV's pixel labelling on
// pictures of every texture the areas produce, odd widths included.
void TestBlobs::sameBlobsAsPixelLabelling()
{
    QFETCH(int, kind);
    QFETCH(int, seed);
    QFETCH(bool, masked);
    cv::RNG rng(static_cast<uint64_t>(seed));
    const cv::Size size(61 + 37 * seed, 47 + 29 * seed);
    cv::Mat img = cv::Mat::zeros(size, CV_8UC1);
    switch (kind) {
    case 0:
        for (int k = 0; k < 40; ++k)
            img.at<uchar>(rng.uniform(0, size.height), rng.uniform(0, size.width)) = 255;
        break;
    case 1:
    case 2: {
        cv::Mat n(size, CV_8UC1);
        rng.fill(n, cv::RNG::UNIFORM, 0, 256);
        img = n > 150;
        if (kind == 2)
            cv::morphologyEx(img, img, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_ELLIPSE, {3, 3}));
        break;
    }
    case 3:
        for (int k = 0; k < 12; ++k) {
            const cv::Point a(rng.uniform(0, size.width), rng.uniform(0, size.height));
            cv::line(img, a, a + cv::Point(rng.uniform(-30, 30), rng.uniform(-30, 30)), cv::Scalar(255));
            cv::circle(img, a, rng.uniform(2, 12), cv::Scalar(128), 1, cv::LINE_8);
        }
        break;
    default:
        img.setTo(7);
        break;
    }
    cv::Mat mask;
    if (masked) {
        mask = cv::Mat::zeros(size, CV_8UC1);
        cv::ellipse(mask, {size.width / 2, size.height / 2}, {size.width / 3, size.height / 2}, 0, 0, 360,
                    cv::Scalar(255), cv::FILLED);
    }
    const CBlobResult blobs(img, mask, 0);

    cv::Mat fg = img != 0;
    if (masked)
        fg &= mask;
    cv::Mat labels, stats, centroids;
    const int n = cv::connectedComponentsWithStats(fg, labels, stats, centroids, 8, CV_32S);
    std::vector<std::tuple<int, int, int, int, int>> want;
    for (int l = 1; l < n; ++l) {
        const int* s = stats.ptr<int>(l);
        want.emplace_back(s[cv::CC_STAT_TOP], s[cv::CC_STAT_LEFT], s[cv::CC_STAT_AREA], s[cv::CC_STAT_WIDTH],
                          s[cv::CC_STAT_HEIGHT]);
    }
    std::sort(want.begin(), want.end());
    QCOMPARE(blobs.GetNumBlobs(), static_cast<int>(want.size()));
    for (int i = 0; i < blobs.GetNumBlobs(); ++i) {
        const auto& [top, left, area, width, height] = want[static_cast<size_t>(i)];
        QCOMPARE(blobs.GetBlob(i)->Area(), double(area));
        QCOMPARE(blobs.GetBlob(i)->GetBoundingBox(), cv::Rect(left, top, width, height));
    }
}

QTEST_GUILESS_MAIN(TestBlobs)
#include "tst_blobs.moc"
