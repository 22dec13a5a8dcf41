// Defect matcher (gray envelope) and similarity matcher on generated cuts.
#include "graymatch.h"
#include "similarity.h"
#include "testenv.h"

#include <QtTest>
#include <opencv2/imgproc.hpp>

namespace {

// Smooth texture with some sharp features, deterministic per seed.
cv::Mat scene(int w, int h, int seed)
{
    cv::RNG rng(static_cast<uint64_t>(seed));
    cv::Mat noise(h / 4 + 2, w / 4 + 2, CV_8UC1);
    rng.fill(noise, cv::RNG::UNIFORM, 40, 215);
    cv::Mat img;
    cv::resize(noise, img, cv::Size(w + 8, h + 8), 0, 0, cv::INTER_CUBIC);
    img = img(cv::Rect(4, 4, w, h)).clone();
    for (int k = 0; k < 6; ++k) {
        const cv::Point c(rng.uniform(0, w), rng.uniform(0, h));
        cv::circle(img, c, rng.uniform(3, std::max(4, w / 6)), cv::Scalar(rng.uniform(0, 255)), cv::FILLED);
    }
    return img;
}

cv::Mat withNoise(const cv::Mat& img, double sigma, int seed)
{
    cv::RNG rng(static_cast<uint64_t>(seed));
    cv::Mat n(img.size(), CV_16SC1);
    rng.fill(n, cv::RNG::NORMAL, 0, sigma);
    cv::Mat out;
    cv::Mat wide;
    img.convertTo(wide, CV_16SC1);
    wide += n;
    wide.convertTo(out, CV_8UC1);
    return out;
}

cv::Mat fullMask(int w, int h)
{
    return cv::Mat(h, w, CV_8UC1, cv::Scalar(255));
}

} // namespace

class TestMatchers : public QObject {
    Q_OBJECT
private slots:
    void init() { env_ = std::make_unique<TestEnv>(); }
    void cleanup() { env_.reset(); }

    void grayStartsInvalid();
    void grayIdenticalMarksNothing();
    void grayMarksAnInjectedDefect();
    void grayIgnoresMaskedOutDefect();
    void grayTwoTemplatesWidenTheEnvelope();
    void grayKeepsCopies();
    void grayMultiplierToleratesEdges();
    void grayWrongSizes();
    void grayTrainsOncePerCreate();
    void grayEnvelopeAsDefined_data();
    void grayEnvelopeAsDefined();

    void similarityScores_data();
    void similarityScores();
    void similarityFlatRules_data();
    void similarityFlatRules();
    void similarityMarksDifferences();
    void similarityKeepsCopiesAndClears();
    void similarityScoreStaysWithinRange_data();
    void similarityScoreStaysWithinRange();

private:
    std::unique_ptr<TestEnv> env_;
};

void TestMatchers::grayStartsInvalid()
{
    GrayMatch g;
    QVERIFY(!g.IsValid());
    g.Create(10, 10, fullMask(10, 10), 0);
    g.Train(10, 0, 100, 150);
    QVERIFY(!g.IsValid()); // no template
    cv::Mat out(10, 10, CV_8UC1, cv::Scalar(7));
    QCOMPARE(g.Match(cv::Mat(10, 10, CV_8UC1, cv::Scalar(0)), out), -1);
    QCOMPARE(cv::countNonZero(out), 0);
}

void TestMatchers::grayIdenticalMarksNothing()
{
    const cv::Mat t = scene(80, 60, 1);
    GrayMatch g;
    g.Create(80, 60, fullMask(80, 60), 0);
    g.AddTemp(t);
    g.Train(20, 0, 100, 150);
    QVERIFY(g.IsValid());
    cv::Mat out;
    QCOMPARE(g.Match(t, out), 0);
    QCOMPARE(cv::countNonZero(out), 0);
    // Mild noise stays inside a tolerance of 20.
    QCOMPARE(g.Match(withNoise(t, 3, 5), out), 0);
}

void TestMatchers::grayMarksAnInjectedDefect()
{
    const cv::Mat t = scene(80, 60, 2);
    GrayMatch g;
    g.Create(80, 60, fullMask(80, 60), 0);
    g.AddTemp(t);
    g.Train(30, 0, 100, 150);
    cv::Mat frame = t.clone();
    cv::Mat spot = frame(cv::Rect(20, 20, 6, 5));
    spot.convertTo(spot, -1, 1, 0);
    for (int y = 0; y < spot.rows; ++y)
        for (int x = 0; x < spot.cols; ++x) {
            uchar& v = spot.at<uchar>(y, x);
            v = v > 127 ? uchar(v - 80) : uchar(v + 80);
        }
    cv::Mat out;
    QCOMPARE(g.Match(frame, out), 30);
    QCOMPARE(cv::countNonZero(out(cv::Rect(20, 20, 6, 5))), 30);
    QCOMPARE(int(out.at<uchar>(22, 22)), 255);
}

void TestMatchers::grayIgnoresMaskedOutDefect()
{
    const cv::Mat t = scene(40, 40, 3);
    cv::Mat mask = fullMask(40, 40);
    mask(cv::Rect(0, 0, 20, 40)).setTo(0);
    GrayMatch g;
    g.Create(40, 40, mask, 0);
    g.AddTemp(t);
    g.Train(10, 0, 100, 150);
    cv::Mat frame = t.clone();
    frame(cv::Rect(5, 5, 8, 8)).setTo(255);
    frame(cv::Rect(5, 25, 8, 8)).setTo(0);
    cv::Mat out;
    g.Match(frame, out);
    QCOMPARE(cv::countNonZero(out), 0);
}

void TestMatchers::grayTwoTemplatesWidenTheEnvelope()
{
    const cv::Mat a(20, 20, CV_8UC1, cv::Scalar(100));
    const cv::Mat b(20, 20, CV_8UC1, cv::Scalar(140));
    GrayMatch g;
    g.Create(20, 20, cv::Mat(), 0); // no mask: the whole cut
    g.AddTemp(a);
    g.AddTemp(b);
    g.Train(5, 0, 100, 150);
    QCOMPARE(g.templateCount(), 2);
    cv::Mat out;
    QCOMPARE(g.Match(cv::Mat(20, 20, CV_8UC1, cv::Scalar(120)), out), 0);
    QCOMPARE(g.Match(cv::Mat(20, 20, CV_8UC1, cv::Scalar(95)), out), 0);  // 100 - 5 inclusive
    QCOMPARE(g.Match(cv::Mat(20, 20, CV_8UC1, cv::Scalar(94)), out), 400);
    QCOMPARE(g.Match(cv::Mat(20, 20, CV_8UC1, cv::Scalar(146)), out), 400);
}

void TestMatchers::grayKeepsCopies()
{
    // Colour training converts every template into one shared plane: the
    // matcher must have read each cut when it was added.
    cv::Mat shared(20, 20, CV_8UC1, cv::Scalar(50));
    GrayMatch g;
    g.Create(20, 20, fullMask(20, 20), 0);
    g.AddTemp(shared);
    shared.setTo(200);
    g.AddTemp(shared);
    g.Train(0, 0, 100, 150);
    cv::Mat out;
    QCOMPARE(g.Match(cv::Mat(20, 20, CV_8UC1, cv::Scalar(120)), out), 0);
}

void TestMatchers::grayMultiplierToleratesEdges()
{
    // A vertical edge; the frame is the template shifted by one pixel.
    cv::Mat t(20, 40, CV_8UC1, cv::Scalar(50));
    t(cv::Rect(20, 0, 20, 20)).setTo(200);
    cv::Mat shifted(20, 40, CV_8UC1, cv::Scalar(50));
    shifted(cv::Rect(19, 0, 21, 20)).setTo(200);
    cv::Mat out;
    GrayMatch plain;
    plain.Create(40, 20, fullMask(40, 20), 0);
    plain.AddTemp(t);
    plain.Train(20, 0, 100, 150);
    QCOMPARE(plain.Match(shifted, out), 20);
    GrayMatch tolerant;
    tolerant.Create(40, 20, fullMask(40, 20), 0);
    tolerant.AddTemp(t);
    tolerant.Train(20, 1, 100, 150);
    QCOMPARE(tolerant.Match(shifted, out), 0);
}

void TestMatchers::grayWrongSizes()
{
    GrayMatch g;
    g.Create(20, 10, fullMask(5, 5), 0); // mask of another size: whole cut
    g.AddTemp(cv::Mat(11, 20, CV_8UC1, cv::Scalar(0))); // ignored
    g.Train(10, 0, 100, 150);
    QVERIFY(!g.IsValid());
    g.AddTemp(cv::Mat(10, 20, CV_8UC1, cv::Scalar(0)));
    g.Train(10, 0, 100, 150);
    QVERIFY(g.IsValid());
    cv::Mat out;
    QCOMPARE(g.Match(cv::Mat(9, 20, CV_8UC1, cv::Scalar(0)), out), -1);
    QCOMPARE(out.size(), cv::Size(20, 10));
    QCOMPARE(cv::countNonZero(out), 0);
    g.Clear();
    QVERIFY(!g.IsValid());
}

void TestMatchers::grayTrainsOncePerCreate()
{
    // The templates are folded away by training: a late template or a second
    // training keeps the model instead of failing.
    GrayMatch g;
    g.Create(20, 10, cv::Mat(), 0);
    g.AddTemp(cv::Mat(10, 20, CV_8UC1, cv::Scalar(100)));
    g.Train(5, 0, 100, 150);
    g.AddTemp(cv::Mat(10, 20, CV_8UC1, cv::Scalar(200)));
    g.Train(5, 0, 100, 150);
    QVERIFY(g.IsValid());
    cv::Mat out;
    QCOMPARE(g.Match(cv::Mat(10, 20, CV_8UC1, cv::Scalar(104)), out), 0);
    QCOMPARE(g.Match(cv::Mat(10, 20, CV_8UC1, cv::Scalar(150)), out), 200);
    // A new model starts over.
    g.Create(20, 10, cv::Mat(), 0);
    QVERIFY(!g.IsValid());
    g.AddTemp(cv::Mat(10, 20, CV_8UC1, cv::Scalar(150)));
    g.Train(5, 0, 100, 150);
    QCOMPARE(g.Match(cv::Mat(10, 20, CV_8UC1, cv::Scalar(150)), out), 0);
}

void TestMatchers::grayEnvelopeAsDefined_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("sensitivity");
    QTest::addColumn<int>("multiplier");
    QTest::addColumn<int>("cap");
    QTest::addColumn<bool>("masked");
    QTest::newRow("odd width, defaults") << 53 << 45 << 1 << 150 << false;
    QTest::newRow("masked, strong multiplier") << 120 << 10 << 40 << 150 << true;
    QTest::newRow("largest tolerance") << 37 << 255 << 255 << 255 << true;
    QTest::newRow("no tolerance") << 16 << 0 << 0 << 0 << false;
    QTest::newRow("narrower than a step") << 9 << 3 << 2 << 150 << true;
}

// Every pixel of the match follows the envelope's definition: lo = min -
// tol, hi = max + tol, tol = min(cap, B + multiplier * gradient of the first
// template), clamped to 0..255, nothing outside the mask; cuts are views
// into a wider picture.
void TestMatchers::grayEnvelopeAsDefined()
{
    QFETCH(int, width);
    QFETCH(int, sensitivity);
    QFETCH(int, multiplier);
    QFETCH(int, cap);
    QFETCH(bool, masked);
    const int h = 31;
    const cv::Rect r(7, 5, width, h);
    std::vector<cv::Mat> pictures;
    for (int t = 0; t < 4; ++t)
        pictures.push_back(withNoise(scene(width + 20, h + 12, 40), 30.0, t));
    cv::Mat mask = fullMask(width, h);
    if (masked)
        cv::circle(mask, {width / 2, h / 2}, h / 3, cv::Scalar(0), cv::FILLED);
    GrayMatch g;
    g.Create(width, h, mask, 0);
    for (const cv::Mat& p : pictures)
        g.AddTemp(p(r));
    g.Train(sensitivity, multiplier, 100, cap);

    cv::Mat mn = pictures[0](r).clone(), mx = mn.clone(), grad;
    for (const cv::Mat& p : pictures) {
        cv::min(mn, p(r), mn);
        cv::max(mx, p(r), mx);
    }
    cv::morphologyEx(pictures[0](r), grad, cv::MORPH_GRADIENT, cv::getStructuringElement(cv::MORPH_RECT, {3, 3}),
                     cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
    for (int seed = 0; seed < 3; ++seed) {
        const cv::Mat frame = withNoise(pictures[1], 25.0 * (seed + 1), 100 + seed);
        cv::Mat out;
        const int marked = g.Match(frame(r), out);
        int want = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < width; ++x) {
                const int tol = std::min(cap, sensitivity + multiplier * grad.at<uchar>(y, x));
                const int v = frame(r).at<uchar>(y, x);
                const bool off = mask.at<uchar>(y, x) != 0
                                 && (v < std::max(0, mn.at<uchar>(y, x) - tol)
                                     || v > std::min(255, mx.at<uchar>(y, x) + tol));
                want += off;
                QCOMPARE(int(out.at<uchar>(y, x)), off ? 255 : 0);
            }
        }
        QCOMPARE(marked, want);
    }
}

void TestMatchers::similarityScores_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::newRow("identical") << "same" << 99.99 << 100.0;
    QTest::newRow("noise") << "noise" << 90.0 << 100.0;
    QTest::newRow("shifted 3 px") << "shift" << 85.0 << 100.0;
    QTest::newRow("relit +-5%") << "light" << 95.0 << 100.0;
    QTest::newRow("different scene") << "other" << 0.0 << 40.0;
}

void TestMatchers::similarityScores()
{
    QFETCH(QString, kind);
    QFETCH(double, low);
    QFETCH(double, high);
    const int w = 96, h = 72;
    const cv::Mat big = scene(w + 20, h + 20, 11);
    const cv::Mat t = big(cv::Rect(10, 10, w, h)).clone();
    cv::Mat cut;
    if (kind == "same")
        cut = t.clone();
    else if (kind == "noise")
        cut = withNoise(t, 4, 3);
    else if (kind == "shift")
        cut = big(cv::Rect(13, 8, w, h)).clone();
    else if (kind == "light")
        t.convertTo(cut, -1, 1.05, -5);
    else
        cut = scene(w, h, 77);
    SURF s;
    QVERIFY(!s.IsValid());
    s.Create(w, h, fullMask(w, h));
    s.AddTemp(t, 1, 50, 80);
    s.Train(0, 0, 0, 0);
    QVERIFY(s.IsValid());
    cv::Mat out;
    const double score = s.Match(cut, out);
    QVERIFY2(score >= low && score <= high, qPrintable(QString::number(score)));
}

void TestMatchers::similarityFlatRules_data()
{
    QTest::addColumn<int>("templateGray");
    QTest::addColumn<int>("cutGray");
    QTest::addColumn<bool>("cutTextured");
    QTest::addColumn<double>("score");
    QTest::newRow("both flat, close") << 100 << 110 << false << 100.0;
    QTest::newRow("both flat, far") << 100 << 111 << false << 0.0;
    QTest::newRow("flat template, textured cut") << 100 << 100 << true << 0.0;
    QTest::newRow("textured template, flat cut") << -1 << 100 << false << 0.0;
    // cutGray -1: the template at 1/50 of its contrast (standard deviation
    // below 2), which still correlates well.
    QTest::newRow("textured template, faint copy") << -1 << -1 << false << 0.0;
}

void TestMatchers::similarityFlatRules()
{
    QFETCH(int, templateGray);
    QFETCH(int, cutGray);
    QFETCH(bool, cutTextured);
    QFETCH(double, score);
    const cv::Mat t = templateGray < 0 ? scene(64, 48, 4) : cv::Mat(48, 64, CV_8UC1, cv::Scalar(templateGray));
    cv::Mat cut = cutTextured ? scene(64, 48, 5) : cv::Mat(48, 64, CV_8UC1, cv::Scalar(cutGray));
    if (cutGray < 0)
        t.convertTo(cut, CV_8U, 0.02, 100);
    SURF s;
    s.Create(64, 48, fullMask(64, 48));
    s.AddTemp(t);
    s.Train();
    cv::Mat out;
    QCOMPARE(s.Match(cut, out), score);
}

void TestMatchers::similarityMarksDifferences()
{
    const cv::Mat t = scene(80, 64, 8);
    cv::Mat mask = fullMask(80, 64);
    mask(cv::Rect(60, 0, 20, 64)).setTo(0);
    SURF s;
    s.Create(80, 64, mask);
    s.AddTemp(t);
    s.Train();
    cv::Mat cut = t.clone();
    cut(cv::Rect(20, 20, 10, 10)).setTo(0);
    cut(cv::Rect(20, 40, 10, 10)).setTo(255);
    cut(cv::Rect(65, 20, 10, 10)).setTo(0); // outside the mask
    cv::Mat out(5, 5, CV_8UC1, cv::Scalar(9));
    const double score = s.Match(cut, out);
    QVERIFY(score < 100);
    QCOMPARE(out.size(), cv::Size(80, 64));
    QVERIFY(cv::countNonZero(out(cv::Rect(20, 20, 10, 10))) > 50);
    QCOMPARE(cv::countNonZero(out(cv::Rect(60, 0, 20, 64))), 0);
    QCOMPARE(cv::countNonZero(out(cv::Rect(0, 0, 15, 15))), 0);
}

void TestMatchers::similarityKeepsCopiesAndClears()
{
    cv::Mat shared = scene(64, 48, 12);
    const cv::Mat first = shared.clone();
    SURF s;
    s.Create(64, 48, fullMask(64, 48));
    s.AddTemp(shared);
    shared = scene(64, 48, 13); // a new buffer: no effect
    shared.copyTo(first.clone());
    s.Train();
    cv::Mat out;
    QVERIFY(s.Match(first, out) > 99.9);
    // The best of several templates counts.
    s.Create(64, 48, fullMask(64, 48));
    s.AddTemp(scene(64, 48, 20));
    s.AddTemp(first);
    s.Train();
    QVERIFY(s.Match(first, out) > 99.9);
    QCOMPARE(s.Match(cv::Mat(47, 64, CV_8UC1, cv::Scalar(0)), out), 0.0);
    s.Clear();
    QVERIFY(!s.IsValid());
    QCOMPARE(s.Match(first, out), 0.0);
}

void TestMatchers::similarityScoreStaysWithinRange_data()
{
    // Ramps on which the correlation of a cut with itself rounds above 1.
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("base");
    QTest::newRow("40 x 52") << 40 << 52 << 96;
    QTest::newRow("18 x 37") << 18 << 37 << 167;
    QTest::newRow("36 x 71") << 36 << 71 << 87;
}

void TestMatchers::similarityScoreStaysWithinRange()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, base);
    cv::Mat cut(h, w, CV_8UC1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            cut.at<uchar>(y, x) = cv::saturate_cast<uchar>(base + x * 3 + y % 5);
    SURF s;
    s.Create(w, h, cv::Mat());
    s.AddTemp(cut);
    s.Train();
    cv::Mat out;
    const double score = s.Match(cut, out);
    QVERIFY2(score >= 0.0 && score <= 100.0, qPrintable(QString::number(score, 'g', 17)));
    QCOMPARE(score, 100.0);
}

QTEST_GUILESS_MAIN(TestMatchers)
#include "tst_matchers.moc"
