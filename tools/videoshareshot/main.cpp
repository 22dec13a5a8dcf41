// mm_videoshare_shot OUT.png [--size WxH]
//
// Runs one refresh of a camera share on a 1280 x 1024 camera picture with
// the relay peer connected on a free loopback port, then shows the view's
// buffer (left, with the time stamp the refresh painted) and the frame the
// peer read back from the share under its semaphore (right, I420 converted
// back), and saves the screen.  The System V objects are keyed on a file in
// a temporary folder and removed when the program ends.
#include "cnt_net.h"
#include "kitfonts.h"
#include "paths.h"
#include "relaypeer.h"
#include "sharereader.h"
#include "wizardpara.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QVBoxLayout>

#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <vector>

namespace {

void waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

// A mould half under the camera: dark plate, lighter cavities.
void paintPart(QImage& view)
{
    QPainter p(&view);
    QLinearGradient g(0, 0, view.width(), view.height());
    g.setColorAt(0, QColor(70, 74, 80));
    g.setColorAt(1, QColor(30, 32, 36));
    p.fillRect(view.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c) {
            const QRectF cavity(120 + c * 280, 160 + r * 360, 200, 240);
            p.setBrush(QColor(150, 154, 160));
            p.setPen(QPen(QColor(210, 210, 215), 6));
            p.drawRoundedRect(cavity, 30, 30);
        }
}

QLabel* picture(const QImage& image, const QString& caption, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    auto* label = new QLabel(box);
    label->setPixmap(QPixmap::fromImage(image.scaled(600, 480, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    auto* text = new QLabel(caption, box);
    text->setStyleSheet(QStringLiteral("color: white; font-size: 20px;"));
    layout->addWidget(label);
    layout->addWidget(text);
    parent->layout()->addWidget(box);
    return label;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    RegisterKitFonts();
    if (argc < 2) {
        std::fprintf(stderr, "usage: mm_videoshare_shot OUT.png\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    paths().ipcKeyPath = dir.filePath(QStringLiteral("ipckey"));
    QFile key(paths().ipcKeyPath);
    key.open(QIODevice::WriteOnly);
    key.close();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("shot"));
        db.setDatabaseName(dir.filePath(QStringLiteral("PARAM.db")));
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("create table sysparam (name text, value text)"));
        q.exec(QStringLiteral("insert into sysparam values ('CntNet', '1 0 0')"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("shot"));

    WizardPara para;
    para.netEnabled = 1;
    para.videoShareMode = VideoShareCamera;
    para.videoShareFps = 4;
    qstrncpy(para.netCardName, "eth0", sizeof para.netCardName);
    CntNetOptions o;
    o.port = 0;
    o.startRelay = [] {};
    o.inputs = [&para] {
        CatalogueInputs in = CatalogueInputs::live();
        in.para = &para;
        return in;
    };
    CNT_Net net(o);

    const int w = 1280, h = 1024;
    std::vector<quint32> pixels(size_t(w) * h);
    QImage view(reinterpret_cast<uchar*>(pixels.data()), w, h, w * 4, QImage::Format_RGB32);
    paintPart(view);
    net.CNT_AddUseMemory(0, w, h, pixels.data());
    net.CNT_FirstInit();

    relaypeer::Options po;
    po.port = net.port();
    po.heartbeatMs = 0;
    relaypeer::RelayPeer peer(po);
    peer.start();
    waitFor([&] { return net.linkAlive() && peer.counts().value(SendTypeMemoryInfo) > 0; }, 5000);
    QByteArray body;
    for (const relaypeer::Message& m : peer.messages())
        if (m.type == SendTypeMemoryInfo)
            body = m.body;
    QList<relaypeer::ShareEntry> entries;
    QString error;
    if (!relaypeer::parseMemoryInfo(body, &entries, &error) || entries.isEmpty()) {
        std::fprintf(stderr, "no share description: %s\n", qPrintable(error));
        return 1;
    }
    net.refreshShares();
    net.shareSet().waitIdle(5000);
    const relaypeer::ShareRead read = relaypeer::readShare(entries.first());
    if (!read.ok) {
        std::fprintf(stderr, "share not read: %s\n", qPrintable(read.error));
        return 1;
    }
    cv::Mat i420(h * 3 / 2, w, CV_8UC1, const_cast<char*>(read.frame.constData()));
    QImage relayed(w, h, QImage::Format_RGB32);
    cv::Mat bgra(h, w, CV_8UC4, relayed.bits(), size_t(relayed.bytesPerLine()));
    cv::cvtColor(i420, bgra, cv::COLOR_YUV2BGRA_I420);

    QWidget window;
    window.setStyleSheet(QStringLiteral("background: black;"));
    window.setLayout(new QHBoxLayout);
    picture(view.copy(), QStringLiteral("camera view buffer after the share refresh"), &window);
    picture(relayed, QStringLiteral("frame the relay reads (I420, %1 bytes)").arg(entries.first().size), &window);
    window.setGeometry(QGuiApplication::primaryScreen()->geometry());
    window.show();
    waitFor([] { return false; }, 500);
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    peer.stop();
    if (!shot.save(out)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s\n", qPrintable(out));
    return 0;
}
