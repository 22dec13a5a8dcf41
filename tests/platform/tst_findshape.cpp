// Positioning: shift and rotation recovered on generated frames, alignment
// agreement of Find, MoveImage and TransformImage.
#include "findshape.h"
#include "synth.h"
#include "testenv.h"

#include <QtTest>

#include <climits>
#include <opencv2/imgproc.hpp>

namespace {

cv::Mat scene(int w, int h, int seed)
{
    cv::RNG rng(static_cast<uint64_t>(seed));
    cv::Mat noise(h / 6 + 2, w / 6 + 2, CV_8UC1);
    rng.fill(noise, cv::RNG::UNIFORM, 30, 225);
    cv::Mat img;
    cv::resize(noise, img, cv::Size(w + 12, h + 12), 0, 0, cv::INTER_CUBIC);
    img = img(cv::Rect(6, 6, w, h)).clone();
    for (int k = 0; k < 12; ++k) {
        const cv::Point c(rng.uniform(0, w), rng.uniform(0, h));
        cv::rectangle(img, cv::Rect(c.x, c.y, rng.uniform(4, 30), rng.uniform(4, 30)), cv::Scalar(rng.uniform(0, 255)),
                      cv::FILLED);
    }
    return img;
}

const cv::Rect kModel(120, 90, 80, 60);
constexpr int kMargin = 30;

cv::Rect searchRect(int margin)
{
    return cv::Rect(kModel.x - margin, kModel.y - margin, kModel.width + 2 * margin, kModel.height + 2 * margin)
           & cv::Rect(0, 0, 320, 240);
}

cv::Point refPoint()
{
    return {kModel.x + kModel.width / 2, kModel.y + kModel.height / 2};
}

// Content moved by (sx, sy) and turned by angle about `centre` (degrees,
// getRotationMatrix2D sense).
cv::Mat moved(const cv::Mat& img, int sx, int sy, double angle, cv::Point2f centre)
{
    cv::Mat m = cv::getRotationMatrix2D(centre, angle, 1.0);
    m.at<double>(0, 2) += sx;
    m.at<double>(1, 2) += sy;
    cv::Mat out;
    cv::warpAffine(img, out, m, img.size(), cv::INTER_LINEAR, cv::BORDER_REFLECT);
    return out;
}

FindShape model(const cv::Mat& tpl, int angleRange, int leastMatch, const cv::Mat& mask = cv::Mat())
{
    FindShape f;
    const cv::Point ref = refPoint();
    f.CreateShape(tpl(kModel), 0.0, 0, angleRange, ref.x, ref.y, false, 255, mask, leastMatch, 0);
    return f;
}

} // namespace

class TestFindShape : public QObject {
    Q_OBJECT
private slots:
    void init() { env_ = std::make_unique<TestEnv>(); }
    void cleanup() { env_.reset(); }

    void uniformModelIsInvalid();
    void shiftRecovered_data();
    void shiftRecovered();
    void maskedModelStillFinds();
    void maskedModelUnderRotationFindsAgain();
    void rotationRecovered_data();
    void rotationRecovered();
    void noFalseFindWithoutMarker_data();
    void noFalseFindWithoutMarker();
    void searchSmallerThanModel();
    void searchAsWideAsTheModel_data();
    void searchAsWideAsTheModel();
    void moveImageReplicatesEdges_data();
    void moveImageReplicatesEdges();
    void moveImageInPlace();
    void transformWithoutAngleIsAShift();
    void hugeShiftsActAsImageSized_data();
    void hugeShiftsActAsImageSized();
    void scoreStaysWithinRange_data();
    void scoreStaysWithinRange();

private:
    std::unique_ptr<TestEnv> env_;
};

void TestFindShape::uniformModelIsInvalid()
{
    FindShape f;
    QVERIFY(!f.IsValid());
    const cv::Mat flat(60, 80, CV_8UC1, cv::Scalar(128));
    QVERIFY(!f.CreateShape(flat, 0.0, 0, 0, 40, 30, false, 255, cv::Mat(), 5, 0));
    QVERIFY(!f.IsValid());
    int x = 0, y = 0;
    double score = 1, angle = 1;
    QVERIFY(!f.Find(scene(320, 240, 1), 0, x, y, score, angle));
    QVERIFY(!f.CreateShape(cv::Mat(), 0.0, 0, 0, 0, 0, false, 255, cv::Mat(), 5, 0));
}

void TestFindShape::shiftRecovered_data()
{
    QTest::addColumn<int>("sx");
    QTest::addColumn<int>("sy");
    QTest::addColumn<bool>("found");
    QTest::newRow("none") << 0 << 0 << true;
    QTest::newRow("right down") << 7 << 3 << true;
    QTest::newRow("left up") << -12 << -9 << true;
    QTest::newRow("odd, at the margin") << 29 << -29 << true;
    QTest::newRow("x only") << -25 << 0 << true;
    QTest::newRow("beyond the window") << 45 << 0 << false;
}

void TestFindShape::shiftRecovered()
{
    QFETCH(int, sx);
    QFETCH(int, sy);
    QFETCH(bool, found);
    const cv::Mat tpl = scene(320, 240, 3);
    const FindShape f = model(tpl, 0, 50);
    QVERIFY(f.IsValid());
    const cv::Mat frame = moved(tpl, sx, sy, 0, {0, 0});
    const cv::Rect sr = searchRect(kMargin);
    int x = 0, y = 0;
    double score = 0, angle = 9;
    const bool ok = f.Find(frame(sr).clone(), 0, x, y, score, angle);
    QCOMPARE(ok, found);
    if (!found)
        return;
    const int dx = x - sr.x, dy = y - sr.y;
    QVERIFY2(std::abs(dx + sx) <= 1 && std::abs(dy + sy) <= 1, qPrintable(QString("%1 %2").arg(dx).arg(dy)));
    QVERIFY(score > 95);
    QCOMPARE(angle, 0.0);
    // The aligned frame shows the marker where the template has it.
    cv::Mat aligned(frame.size(), CV_8UC1);
    QVERIFY(MoveImage(frame, aligned, dx, dy));
    QVERIFY(synth::meanAbsDiff(aligned, tpl, kModel) < 2.0);
}

void TestFindShape::maskedModelStillFinds()
{
    const cv::Mat tpl = scene(320, 240, 4);
    cv::Mat mask(kModel.size(), CV_8UC1, cv::Scalar(0));
    cv::ellipse(mask, {40, 30}, {38, 28}, 0, 0, 360, cv::Scalar(255), cv::FILLED);
    const FindShape f = model(tpl, 0, 50, mask);
    QVERIFY(f.IsValid());
    // Clutter outside the ellipse does not matter.
    cv::Mat frame = moved(tpl, -6, 11, 0, {0, 0});
    const cv::Rect sr = searchRect(kMargin);
    int x = 0, y = 0;
    double score = 0, angle = 0;
    QVERIFY(f.Find(frame(sr).clone(), 0, x, y, score, angle));
    QCOMPARE(x - sr.x, 6);
    QCOMPARE(y - sr.y, -11);
}

// A drawn (masked) model searched under rotation: the search must leave the
// model as it was, so every later search finds what the first did.
void TestFindShape::maskedModelUnderRotationFindsAgain()
{
    const cv::Mat tpl = scene(320, 240, 4);
    cv::Mat mask(kModel.size(), CV_8UC1, cv::Scalar(0));
    cv::ellipse(mask, {40, 30}, {38, 28}, 0, 0, 360, cv::Scalar(255), cv::FILLED);
    const FindShape f = model(tpl, 10, 50, mask);
    QVERIFY(f.IsValid());
    const cv::Point ref = refPoint();
    const cv::Rect sr = searchRect(kMargin);
    for (int round = 0; round < 3; ++round) {
        for (double theta : {-6.0, 4.5}) {
            const cv::Mat frame = moved(tpl, 5, -3, theta, cv::Point2f(float(ref.x), float(ref.y)));
            int x = 0, y = 0;
            double score = 0, angle = 0;
            QVERIFY2(f.Find(frame(sr).clone(), 0, x, y, score, angle), qPrintable(QString::number(round)));
            QVERIFY2(std::abs(angle - theta) <= 0.5, qPrintable(QStringLiteral("%1: %2").arg(round).arg(angle)));
            QVERIFY(std::abs(x - sr.x + 5) <= 1 && std::abs(y - sr.y - 3) <= 1);
        }
    }
}

void TestFindShape::rotationRecovered_data()
{
    QTest::addColumn<double>("theta");
    QTest::addColumn<int>("sx");
    QTest::addColumn<int>("sy");
    QTest::newRow("+7 deg, shifted") << 7.0 << 5 << -4;
    QTest::newRow("-9.5 deg") << -9.5 << -3 << 8;
    QTest::newRow("+2.3 deg") << 2.3 << 0 << 0;
    QTest::newRow("0 deg, shifted") << 0.0 << 10 << 6;
}

void TestFindShape::rotationRecovered()
{
    QFETCH(double, theta);
    QFETCH(int, sx);
    QFETCH(int, sy);
    const cv::Mat tpl = scene(320, 240, 5);
    const FindShape f = model(tpl, 10, 50);
    QVERIFY(f.IsValid());
    const cv::Point ref = refPoint();
    const cv::Mat frame = moved(tpl, sx, sy, theta, cv::Point2f(float(ref.x + 13), float(ref.y - 7)));
    const cv::Rect sr = searchRect(kMargin);
    int x = 0, y = 0;
    double score = 0, angle = 0;
    QVERIFY(f.Find(frame(sr).clone(), 0, x, y, score, angle));
    QVERIFY2(std::abs(angle - theta) <= 0.5, qPrintable(QString::number(angle)));
    cv::Mat aligned(frame.size(), CV_8UC1);
    QVERIFY(TransformImage(frame, aligned, cv::Point(x - sr.x, y - sr.y), ref, angle));
    // Within a pixel: the aligned marker matches the template.
    const double diff = synth::meanAbsDiff(aligned, tpl, kModel);
    QVERIFY2(diff < 6.0, qPrintable(QString::number(diff)));
}

void TestFindShape::noFalseFindWithoutMarker_data()
{
    QTest::addColumn<int>("angleRange");
    QTest::newRow("shift only") << 0;
    QTest::newRow("with rotation") << 10;
}

void TestFindShape::noFalseFindWithoutMarker()
{
    QFETCH(int, angleRange);
    const cv::Mat tpl = scene(320, 240, 6);
    const FindShape f = model(tpl, angleRange, 50);
    const cv::Rect sr = searchRect(kMargin);
    int x = 0, y = 0;
    double score = 0, angle = 0;
    for (int seed : {100, 101, 102}) {
        const cv::Mat other = scene(320, 240, seed);
        QVERIFY2(!f.Find(other(sr).clone(), 0, x, y, score, angle), qPrintable(QString::number(score)));
    }
    const cv::Mat flat(sr.size(), CV_8UC1, cv::Scalar(90));
    QVERIFY(!f.Find(flat, 0, x, y, score, angle));
}

void TestFindShape::searchSmallerThanModel()
{
    const cv::Mat tpl = scene(320, 240, 7);
    const FindShape f = model(tpl, 0, 5);
    int x = 0, y = 0;
    double score = 0, angle = 0;
    QVERIFY(!f.Find(tpl(cv::Rect(0, 0, 79, 60)).clone(), 0, x, y, score, angle));
    QVERIFY(!f.Find(cv::Mat(), 0, x, y, score, angle));
    // Exactly the model's size: one position.
    QVERIFY(f.Find(tpl(kModel).clone(), 0, x, y, score, angle));
    QCOMPARE(x, kModel.x);
    QCOMPARE(y, kModel.y);
}

void TestFindShape::searchAsWideAsTheModel_data()
{
    // A search window exactly as wide as the model leaves one column of
    // positions; with 4 rows of them, or with a model of one column by four
    // rows, OpenCV's masked matcher used to throw.
    QTest::addColumn<QSize>("modelSize");
    QTest::addColumn<int>("extraRows"); // at full resolution
    QTest::addColumn<bool>("masked");
    QTest::addColumn<int>("angleRange");
    QTest::newRow("one level, masked, 4 positions") << QSize(30, 20) << 3 << true << 0;
    QTest::newRow("one level, rotation, 4 positions") << QSize(30, 20) << 3 << false << 10;
    QTest::newRow("two levels, masked, 4 coarse positions") << QSize(80, 60) << 6 << true << 0;
    QTest::newRow("two levels, rotation, 4 coarse positions") << QSize(80, 60) << 6 << false << 10;
    QTest::newRow("one level, masked, 3 positions") << QSize(30, 20) << 2 << true << 0;
    QTest::newRow("1 x 4 model, rotation") << QSize(1, 4) << 6 << false << 10;
}

void TestFindShape::searchAsWideAsTheModel()
{
    QFETCH(QSize, modelSize);
    QFETCH(int, extraRows);
    QFETCH(bool, masked);
    QFETCH(int, angleRange);
    const cv::Mat tpl = scene(320, 240, 11);
    const cv::Rect r(120, 90, modelSize.width(), modelSize.height());
    cv::Mat mask;
    if (masked) {
        mask = cv::Mat::zeros(r.size(), CV_8UC1);
        cv::ellipse(mask, {r.width / 2, r.height / 2}, {r.width / 2 - 1, r.height / 2 - 1}, 0, 0, 360, cv::Scalar(255),
                    cv::FILLED);
    }
    FindShape f;
    QVERIFY(f.CreateShape(tpl(r), 0.0, 0, angleRange, r.x + r.width / 2, r.y + r.height / 2, false, 255, mask, 50, 0));
    const cv::Rect sr(r.x, r.y - extraRows / 2, r.width, r.height + extraRows);
    int x = 0, y = 0;
    double score = 0, angle = 0;
    QVERIFY(f.Find(tpl(sr).clone(), 0, x, y, score, angle));
    QCOMPARE(x - sr.x, 0);
    QCOMPARE(y - sr.y, 0); // frame and template agree: no shift
}

void TestFindShape::moveImageReplicatesEdges_data()
{
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");
    QTest::newRow("right down") << 3 << 2;
    QTest::newRow("left up") << -4 << -1;
    QTest::newRow("beyond the width") << 12 << 0;
    QTest::newRow("none") << 0 << 0;
}

void TestFindShape::moveImageReplicatesEdges()
{
    QFETCH(int, dx);
    QFETCH(int, dy);
    cv::Mat src(6, 10, CV_8UC1);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x)
            src.at<uchar>(y, x) = uchar(y * 10 + x);
    cv::Mat dst(6, 10, CV_8UC1, cv::Scalar(0));
    QVERIFY(MoveImage(src, dst, dx, dy));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) {
            const int sx = std::clamp(x - dx, 0, 9), sy = std::clamp(y - dy, 0, 5);
            QCOMPARE(int(dst.at<uchar>(y, x)), sy * 10 + sx);
        }
    // Sizes must agree; dst is never reallocated.
    cv::Mat small(5, 10, CV_8UC1);
    QVERIFY(!MoveImage(src, small, 1, 1));
}

void TestFindShape::moveImageInPlace()
{
    cv::Mat img = scene(64, 48, 9);
    const cv::Mat before = img.clone();
    cv::Mat expected(img.size(), CV_8UC1);
    MoveImage(before, expected, 5, -3);
    uchar* data = img.data;
    QVERIFY(MoveImage(img, img, 5, -3));
    QCOMPARE(img.data, data);
    QCOMPARE(cv::countNonZero(img != expected), 0);
}

void TestFindShape::transformWithoutAngleIsAShift()
{
    const cv::Mat img = scene(64, 48, 10);
    cv::Mat a(img.size(), CV_8UC1), b(img.size(), CV_8UC1);
    MoveImage(img, a, -4, 6);
    QVERIFY(TransformImage(img, b, cv::Point(-4, 6), cv::Point(30, 20), 0.0));
    QCOMPARE(cv::countNonZero(a != b), 0);
}

void TestFindShape::hugeShiftsActAsImageSized_data()
{
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");
    QTest::newRow("right") << INT_MAX << 0;
    QTest::newRow("left") << INT_MIN << 0;
    QTest::newRow("down") << 0 << INT_MAX;
    QTest::newRow("up") << 0 << INT_MIN;
    QTest::newRow("both") << INT_MIN << INT_MAX;
}

// A shift beyond the image moves every pixel out: the result is the edge
// fill of a shift by the image size, whatever the number.
void TestFindShape::hugeShiftsActAsImageSized()
{
    QFETCH(int, dx);
    QFETCH(int, dy);
    cv::Mat src(30, 40, CV_8UC1);
    cv::RNG(5).fill(src, cv::RNG::UNIFORM, 0, 256);
    const auto sized = [&](int v, int size) { return v > 0 ? size : v < 0 ? -size : 0; };
    cv::Mat expected(src.size(), CV_8UC1), got(src.size(), CV_8UC1);
    QVERIFY(MoveImage(src, expected, sized(dx, src.cols), sized(dy, src.rows)));
    QVERIFY(MoveImage(src, got, dx, dy));
    QCOMPARE(cv::norm(got, expected, cv::NORM_INF), 0.0);
    const cv::Rect cover = MovedImageCover(src.size(), dx, dy);
    QVERIFY(cover.area() == 0);

    QVERIFY(TransformImage(src, expected, {sized(dx, src.cols), sized(dy, src.rows)}, {20, 15}, 0.0));
    QVERIFY(TransformImage(src, got, {dx, dy}, {20, 15}, 0.0));
    QCOMPARE(cv::norm(got, expected, cv::NORM_INF), 0.0);
    QCOMPARE(cv::countNonZero(TransformedImageCover(src.size(), {dx, dy}, {20, 15}, 0.0)), 0);
}

void TestFindShape::scoreStaysWithinRange_data()
{
    // Masked ramps on which the correlation rounds to just above 1.
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("base");
    QTest::addColumn<int>("gx");  // slope along x, in 1/divisor per pixel
    QTest::addColumn<int>("divisor");
    QTest::addColumn<int>("gy");
    QTest::addColumn<int>("margin");
    QTest::newRow("70 x 34") << 70 << 34 << 159 << 3 << 4 << 2 << 6;
    QTest::newRow("82 x 24") << 82 << 24 << 173 << 4 << 2 << 1 << 10;
    QTest::newRow("78 x 32") << 78 << 32 << 121 << 2 << 4 << 0 << 12;
}

void TestFindShape::scoreStaysWithinRange()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, base);
    QFETCH(int, gx);
    QFETCH(int, divisor);
    QFETCH(int, gy);
    QFETCH(int, margin);
    cv::Mat model(h, w, CV_8UC1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            model.at<uchar>(y, x) = cv::saturate_cast<uchar>(base + x * gx / divisor + y * gy);
    cv::Mat mask(h, w, CV_8UC1, cv::Scalar(255));
    cv::circle(mask, {w / 2, h / 2}, std::min(w, h) / 4, cv::Scalar(0), cv::FILLED);
    cv::Mat search;
    cv::copyMakeBorder(model, search, margin, margin, margin, margin, cv::BORDER_REPLICATE);
    FindShape f;
    QVERIFY(f.CreateShape(model, 0.0, 0, 0, w / 2, h / 2, false, 255, mask, 0, 0));
    int x = 0, y = 0;
    double score = -1, angle = 0;
    QVERIFY(f.Find(search, 0, x, y, score, angle));
    QVERIFY2(score >= 0.0 && score <= 100.0, qPrintable(QString::number(score, 'g', 17)));
}

QTEST_GUILESS_MAIN(TestFindShape)
#include "tst_findshape.moc"
