#pragma once
// The set-up and tear-down the main-window tests share: a program directory
// whose log, clock floor and PARAM.db are the test's, a bus of small grey
// cameras, the records the window wrote and the output word on the board.
// The helpers that check their own steps do so with QVERIFY: a failure ends
// the helper and is reported as the test's failure.
#include "choosebox.h"
#include "controlport.h"
#include "globals.h"
#include "iothread.h"
#include "logmanager.h"
#include "lostlinkboxes.h"
#include "mojuwizard.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "paths.h"
#include "simcamerabus.h"
#include "testenv.h"
#include "warnbox.h"
#include "wizardpara.h"

#include <QDateTime>
#include <QMutexLocker>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QtTest>

#include <functional>

namespace windowtest {

// The message log goes below the program directory, not beside the test binary.
inline void keepLogsInside(const TestEnv& env)
{
    paths().qtLogDir = env.path("RECORD/LOG");
}

// The clock floor the start-up clock check compares with.
inline void writeFloor(TestEnv& env, const QDateTime& t)
{
    env.writeFile("realytime.txt", QByteArray::number(t.toMSecsSinceEpoch()));
}

// A clock floor in the past: the start-up clock check passes quietly.
inline void writeFloor(TestEnv& env)
{
    writeFloor(env, env.clock->now().addDays(-1));
}

// PARAM.db with the first-start parameters as edit changes them.
inline void writeParams(TestEnv& env, const std::function<void(WizardPara&)>& edit)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
        db.setDatabaseName(env.path("PARAM.db"));
        QVERIFY(db.open());
        WizardPara p = FirstStartParameters();
        edit(p);
        QVERIFY(p.SaveDatatoFile(db).ok);
        db.close();
    }
    QSqlDatabase::removeDatabase("maker");
}

// The bus of count small grey cameras, serials serialPrefix000000 upwards.
inline void loadBus(int count, const QString& serialPrefix)
{
    QStringList devices;
    for (int i = 0; i < count; ++i)
        devices << QStringLiteral("{\"family\":\"mindvision\",\"serial\":\"%1%2\",\"width\":320,\"height\":240,"
                                  "\"fps\":30}")
                       .arg(serialPrefix)
                       .arg(i, 6, 10, QLatin1Char('0'));
    QString error;
    QVERIFY2(camsim::bus().loadJson(QStringLiteral("{\"devices\":[%1]}").arg(devices.join(',')).toUtf8(), &error),
             qPrintable(error));
}

// The remarks of RECORD.db, oldest first.
inline QStringList records()
{
    QStringList out;
    QSqlQuery q(QSqlDatabase::database("dbRecord"));
    q.exec("select remarks from RECORD");
    while (q.next())
        out << q.value(0).toString();
    return out;
}

// The output word as applied to the board.
inline int boardWord()
{
    QMutexLocker lock(pMutexIO);
    return gDataOut;
}

// Every output released, as applied to the board: each inverted output's
// bit set; with mirrorReserve, output 3 following the output it mirrors.
inline int releasedWord(const WizardPara& w, bool mirrorReserve)
{
    int word = 0;
    for (int o = 0; o < kOutputBits; ++o)
        if (w.outputInvert[o])
            word |= 1 << o;
    const int role = w.reserveOutputRole;
    if (mirrorReserve && role >= 1 && role <= 3)
        word = (word & ~(1 << OutReserve)) | (((word >> (role - 1)) & 1) << OutReserve);
    return word;
}

inline void closeAll()
{
    for (const QString& c : QSqlDatabase::connectionNames()) {
        QSqlDatabase::database(c, false).close();
        QSqlDatabase::removeDatabase(c);
    }
}

// The window gone with everything it made, ready for the next one.
inline void closeWindow()
{
    delete gpWin;   // takes the shared boxes and keypads with it
    gpWarnBox = nullptr;
    // The alarm boxes have no parent: the next window makes its own.
    delete gpLostComWarnBox;
    gpLostComWarnBox = nullptr;
    delete gpLostCameraWarnBox;
    gpLostCameraWarnBox = nullptr;
    delete gpReconnectCameraWarnBox;
    gpReconnectCameraWarnBox = nullptr;
    gpChooseBox = nullptr;
    gpNumPad = nullptr;
    gpNumCharPad = nullptr;
    delete LogManager::__instance;   // the next window makes one in its own directory
    paths().qtLogDir.clear();
    closeAll();
}

} // namespace windowtest
