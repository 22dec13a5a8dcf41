#pragma once
// The link to the relay process (the local TCP server the relay connects to).
//
// This is the first step of the link: it decides at start-up whether the
// remote system is on, listens on the loopback port, starts the relay
// process and queues every message the rest of the program hands it.
// Framing, sending and the replies come with the full link.
#include "relaylink.h"

#include <QObject>
#include <QStringList>

class QTcpServer;

class CNT_Net : public QObject, public RelayLink {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 8890;
    // Messages kept for a relay that does not take them; the oldest give way.
    static constexpr int kQueueLimit = 1000;

    // Reads the remote-system switch from PARAM.db through a connection of
    // its own; listens only when it is on.
    explicit CNT_Net(QObject* parent = nullptr, quint16 port = kDefaultPort);

    // True only when the switch was on and the server really listens (the
    // port may be taken); port 0 asks for any free port.
    bool serverOpen() const override { return serverOpen_; }
    bool linkAlive() const override { return linkAlive_; }
    quint16 port() const;

    // After the main window exists, with the remote system on and listening.
    void CNT_FirstInit();
    // Starts the relay process when its script is present.
    void CNT_ReStart() override;

    // Keeps the registration (one per id, a later one replaces it) for the
    // live-video share; the shared memory itself comes with the full link.
    void CNT_AddUseMemory(int id, int width, int height, void* frame) override;
    // The shares registered, in the order of their first registration.
    QList<VideoShareRegistration> videoShares() const { return videoShares_; }

    // Messages waiting for the relay, oldest first (one line each).
    QStringList queued() const;
    // Messages dropped because the queue was full.
    int droppedMessages() const;

    // First number of the "CntNet" row of PARAM.db, 0 when absent or unreadable.
    static int ReadNetSwitch(const QString& paramDbPath = QStringLiteral("PARAM.db"));

protected:
    // Queues the message, at most kQueueLimit, dropping the oldest.
    void deliver(const QString& line) override;

private:

    bool serverOpen_ = false;
    bool linkAlive_ = false;
    QTcpServer* server_ = nullptr;
    mutable QMutex queueLock_;
    QStringList sendQueue_;
    int dropped_ = 0;
    QList<VideoShareRegistration> videoShares_;
};
