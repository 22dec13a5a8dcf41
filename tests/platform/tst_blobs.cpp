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

QTEST_GUILESS_MAIN(TestBlobs)
#include "tst_blobs.moc"
