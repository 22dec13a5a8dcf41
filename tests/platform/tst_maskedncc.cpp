// Masked correlation of one window: the value the definition gives, for
// every width (whole steps and the pixels after them), masked or not, and
// for windows large and bright enough to overflow 32-bit sums.
#include "maskedncc.h"
#include "testenv.h"

#include <QtTest>
#include <opencv2/imgproc.hpp>

#include <cmath>

namespace {

struct Reference {
    double ncc = -1, mean = 0, stddev = 0;
};

// Straight from the definition, in doubles.
Reference reference(const cv::Mat& image, const cv::Mat& pattern, const cv::Mat& mask, int x0, int y0)
{
    double n = 0, sT = 0, sTT = 0, sI = 0, sII = 0, sTI = 0;
    for (int y = 0; y < pattern.rows; ++y)
        for (int x = 0; x < pattern.cols; ++x) {
            if (!mask.empty() && !mask.at<uchar>(y, x))
                continue;
            const double t = pattern.at<uchar>(y, x), v = image.at<uchar>(y0 + y, x0 + x);
            n += 1;
            sT += t;
            sTT += t * t;
            sI += v;
            sII += v * v;
            sTI += t * v;
        }
    Reference r;
    const double varT = sTT - sT * sT / n, varI = sII - sI * sI / n;
    r.mean = sI / n;
    r.stddev = varI > 0 ? std::sqrt(varI / n) : 0;
    if (varT > 1e-9 && varI > 1e-9)
        r.ncc = (sTI - sT * sI / n) / std::sqrt(varT * varI);
    return r;
}

} // namespace

class TestMaskedNcc : public QObject {
    Q_OBJECT
private slots:
    void init() { env_ = std::make_unique<TestEnv>(); }
    void cleanup() { env_.reset(); }

    void windowAsDefined_data();
    void windowAsDefined();

private:
    std::unique_ptr<TestEnv> env_;
};

void TestMaskedNcc::windowAsDefined_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("masked");
    QTest::addColumn<int>("bright"); // 0 noise, else a near-saturated picture
    QTest::newRow("narrower than a step") << QSize(7, 5) << false << 0;
    QTest::newRow("one step and a tail, masked") << QSize(23, 17) << true << 0;
    QTest::newRow("whole steps") << QSize(64, 40) << false << 0;
    QTest::newRow("rotated model size, masked") << QSize(200, 200) << true << 0;
    QTest::newRow("large and bright") << QSize(640, 512) << false << 250;
    QTest::newRow("large and bright, masked") << QSize(641, 509) << true << 250;
}

void TestMaskedNcc::windowAsDefined()
{
    QFETCH(QSize, size);
    QFETCH(bool, masked);
    QFETCH(int, bright);
    cv::RNG rng(static_cast<uint64_t>(size.width() * 131 + size.height()));
    const int w = size.width(), h = size.height();
    cv::Mat image(h + 6, w + 9, CV_8UC1);
    rng.fill(image, cv::RNG::UNIFORM, bright, 256);
    cv::Mat pattern(h, w, CV_8UC1);
    rng.fill(pattern, cv::RNG::UNIFORM, bright, 256);
    cv::Mat mask;
    if (masked) {
        mask = cv::Mat::zeros(h, w, CV_8UC1);
        cv::ellipse(mask, {w / 2, h / 2}, {std::max(1, w / 2), std::max(1, h / 2)}, 0, 0, 360, cv::Scalar(255),
                    cv::FILLED);
    }
    MaskedNcc ncc;
    ncc.set(pattern, mask);
    // Correlated windows too: the pattern less an offset lies at (3, 2).
    cv::Mat near = pattern - 3;
    near.copyTo(image(cv::Rect(3, 2, w, h)));
    for (const cv::Point at : {cv::Point(0, 0), cv::Point(3, 2), cv::Point(9, 6), cv::Point(5, 1)}) {
        const MaskedNcc::Window got = ncc.at(image, at.x, at.y);
        const Reference want = reference(image, pattern, mask, at.x, at.y);
        QVERIFY2(std::abs(got.ncc - want.ncc) < 1e-9, qPrintable(QStringLiteral("%1 %2").arg(got.ncc).arg(want.ncc)));
        QVERIFY(std::abs(got.mean - want.mean) < 1e-9);
        QVERIFY(std::abs(got.stddev - want.stddev) < 1e-6);
    }
    QVERIFY(ncc.at(image, 3, 2).ncc > 0.999);
}

QTEST_GUILESS_MAIN(TestMaskedNcc)
#include "tst_maskedncc.moc"
