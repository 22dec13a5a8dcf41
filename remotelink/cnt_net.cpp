#include "cnt_net.h"

#include "commandrunner.h"
#include "storedints.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <glog/logging.h>

int CNT_Net::ReadNetSwitch(const QString& paramDbPath)
{
    if (!QFile::exists(paramDbPath))
        return 0;
    int value = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("isopen"));
        db.setDatabaseName(paramDbPath);
        if (db.open()) {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            // Read as the parameter record reads its rows, so that the
            // switch here and the record's netEnabled agree.
            if (q.exec(QStringLiteral("select value from sysparam where name='CntNet'")) && q.next())
                value = ParseStoredInts(q.value(0).toByteArray(), 1).front();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("isopen"));
    return value;
}

CNT_Net::CNT_Net(QObject* parent, quint16 port) : QObject(parent)
{
    if (ReadNetSwitch() == 0)
        return;
    QDir().mkpath(QStringLiteral("./cnt_net/data/"));
    QFile::remove(QStringLiteral("./cnt_net/chknettimes"));
    server_ = new QTcpServer(this);
    const bool listening = server_->listen(QHostAddress::LocalHost, port);
    LOG(INFO) << "CNT: server is alread open...";
    if (!listening) {
        // The relay could never connect: the link stays off, so no caller
        // queues messages for it.
        LOG(WARNING) << "CNT: cannot listen on port " << port << ": "
                     << server_->errorString().toStdString();
        return;
    }
    serverOpen_ = true;
}

quint16 CNT_Net::port() const
{
    return server_ ? server_->serverPort() : 0;
}

void CNT_Net::CNT_FirstInit()
{
    // The live-video share registers itself here once the link is complete.
}

void CNT_Net::CNT_ReStart()
{
    const QString script = QStringLiteral("./cnt_net/runNetClient.py");
    if (QFile::exists(script))
        commandRunner().startDetached(QStringLiteral("python3"), {script});
}

void CNT_Net::deliver(const QString& line)
{
    QMutexLocker lock(&queueLock_);
    if (sendQueue_.size() >= kQueueLimit) {
        sendQueue_.removeFirst();
        if (dropped_++ % kQueueLimit == 0)
            LOG(WARNING) << "CNT: send queue full (" << kQueueLimit << " messages), "
                         << dropped_ << " oldest dropped so far";
    }
    sendQueue_ << line;
}

int CNT_Net::droppedMessages() const
{
    QMutexLocker lock(&queueLock_);
    return dropped_;
}

QStringList CNT_Net::queued() const
{
    QMutexLocker lock(&queueLock_);
    return sendQueue_;
}

void CNT_Net::CNT_AddUseMemory(int id, int width, int height, void* frame)
{
    const VideoShareRegistration share{id, width, height, frame};
    for (VideoShareRegistration& kept : videoShares_) {
        if (kept.id == id) {
            kept = share;
            return;
        }
    }
    videoShares_.append(share);
}
