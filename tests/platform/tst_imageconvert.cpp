// Pixel conversions: the RGB32 word layout, gray and hue planes.
#include "imageconvert.h"
#include "testenv.h"

#include <QImage>
#include <QtTest>

class TestImageConvert : public QObject {
    Q_OBJECT
private slots:
    void init() { env_ = std::make_unique<TestEnv>(); }
    void cleanup() { env_.reset(); }

    void rgbToRgbaMatchesQImage();
    void grayToRgbaWords();
    void grayRoundTrip();
    void rgbaToGray_data();
    void rgbaToGray();
    void rgbaToHue_data();
    void rgbaToHue();

private:
    std::unique_ptr<TestEnv> env_;
};

void TestImageConvert::rgbToRgbaMatchesQImage()
{
    const int w = 5, h = 3;
    std::vector<unsigned char> rgb(size_t(w * h * 3));
    for (size_t k = 0; k < rgb.size(); ++k)
        rgb[k] = static_cast<unsigned char>(k * 17 + 3);
    QImage img(w, h, QImage::Format_RGB32);
    RGB2RGBA(img.bits(), rgb.data(), w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t o = size_t((y * w + x) * 3);
            QCOMPARE(img.pixel(x, y), qRgb(rgb[o], rgb[o + 1], rgb[o + 2]));
        }
    // Alpha byte is 0xFF.
    QCOMPARE(int(img.constBits()[3]), 255);
}

void TestImageConvert::grayToRgbaWords()
{
    const unsigned char gray[4] = {0, 1, 128, 255};
    std::vector<quint32> words(4, 0);
    Gray2RGBA(gray, words.data(), 4, 1);
    for (int k = 0; k < 4; ++k)
        QCOMPARE(words[size_t(k)], 0xFF000000u | (gray[k] * 0x010101u));
}

void TestImageConvert::grayRoundTrip()
{
    std::vector<unsigned char> gray(256 * 2), back(256 * 2, 7);
    for (size_t k = 0; k < gray.size(); ++k)
        gray[k] = static_cast<unsigned char>(k);
    std::vector<quint32> rgba(gray.size());
    Gray2RGBA(gray.data(), rgba.data(), 256, 2);
    RGBA2Gray(back.data(), rgba.data(), 256, 2);
    QVERIFY(gray == back);
}

void TestImageConvert::rgbaToGray_data()
{
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("gray");
    QTest::newRow("white") << 255 << 255 << 255 << 255;
    QTest::newRow("red") << 255 << 0 << 0 << 76;
    QTest::newRow("green") << 0 << 255 << 0 << 150;
    QTest::newRow("blue") << 0 << 0 << 255 << 29;
}

void TestImageConvert::rgbaToGray()
{
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QFETCH(int, gray);
    const quint32 word = qRgb(r, g, b);
    unsigned char out = 0;
    RGBA2Gray(&out, &word, 1, 1);
    QCOMPARE(int(out), gray);
}

void TestImageConvert::rgbaToHue_data()
{
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("hue");
    QTest::newRow("red") << 255 << 0 << 0 << 0;
    QTest::newRow("yellow") << 255 << 255 << 0 << 43;
    QTest::newRow("green") << 0 << 255 << 0 << 85;
    QTest::newRow("cyan") << 0 << 255 << 255 << 128;
    QTest::newRow("blue") << 0 << 0 << 255 << 170;
    QTest::newRow("gray has no hue") << 90 << 90 << 90 << 0;
}

void TestImageConvert::rgbaToHue()
{
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QFETCH(int, hue);
    // A band boundary inside: 70 rows of the same colour.
    const int w = 3, h = 70;
    std::vector<quint32> words(size_t(w * h), qRgb(r, g, b));
    std::vector<unsigned char> out(words.size(), 99);
    RGBA2Hue(out.data(), words.data(), w, h);
    for (unsigned char v : out)
        QVERIFY(std::abs(int(v) - hue) <= 1);
}

QTEST_GUILESS_MAIN(TestImageConvert)
#include "tst_imageconvert.moc"
