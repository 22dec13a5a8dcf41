#pragma once
// The USB image-copy worker: one instance, started once by main, running its
// passes on Qt's global thread pool.
#include <QObject>
#include <atomic>

class Copy2MoveDisk : public QObject {
    Q_OBJECT
public:
    static Copy2MoveDisk* _instance;
    static Copy2MoveDisk* instance();   // makes it on first use

    explicit Copy2MoveDisk(QObject* parent = nullptr);
    // Starts the copy task and returns at once; a second call does nothing.
    void start();
    bool started() const { return started_; }

private:
    std::atomic<bool> started_{false};
};
