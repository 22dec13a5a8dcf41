// The password check as one table: prompt, password switch, parameter
// password, entry and moment of the check against the level granted.
#include "accesscheck.h"
#include "wizardpara.h"

#include <QtTest>

Q_DECLARE_METATYPE(PasswordPrompt)

namespace {
QDateTime at(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
}
}

class TestAccessCheck : public QObject {
    Q_OBJECT
private slots:
    void check_data();
    void check();
    void passwordDecodedAsTheStoreDecodes_data();
    void passwordDecodedAsTheStoreDecodes();
};

void TestAccessCheck::check_data()
{
    QTest::addColumn<PasswordPrompt>("prompt");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<int>("level");
    const auto box = PasswordPrompt::LoginBox;
    const auto dialog = PasswordPrompt::OneShotDialog;
    const QDateTime morning = at(2026, 3, 15, 10, 30);
    const QString set = "1234";

    // The service code: stored form for the login box with passwords off,
    // run-time form (this hour only) everywhere else.
    QTest::newRow("box off, stored code") << box << false << set << "5962" << morning << 2;
    QTest::newRow("box on, stored code refused") << box << true << set << "5962" << morning << 0;
    QTest::newRow("box on, this hour") << box << true << set << "5962031510" << morning << 2;
    QTest::newRow("box off, run-time code refused") << box << false << set << "5962031510" << morning << 0;
    QTest::newRow("dialog off, stored code refused") << dialog << false << set << "5962" << morning << 0;
    QTest::newRow("dialog off, this hour") << dialog << false << set << "5962031510" << morning << 2;
    QTest::newRow("dialog on, this hour") << dialog << true << set << "5962031510" << morning << 2;
    QTest::newRow("previous hour") << box << true << set << "5962031509" << morning << 0;
    QTest::newRow("next hour") << box << true << set << "5962031511" << morning << 0;
    QTest::newRow("dialog, previous hour") << dialog << false << set << "5962031509" << morning << 0;
    QTest::newRow("typed at 10:59, confirmed at 11:00") << box << true << set << "5962031510"
                                                        << at(2026, 3, 15, 11, 0) << 0;
    QTest::newRow("midnight, this hour") << box << true << set << "5962031600" << at(2026, 3, 16, 0, 10) << 2;
    QTest::newRow("midnight, previous hour") << box << true << set << "5962031523" << at(2026, 3, 16, 0, 10)
                                             << 0;
    QTest::newRow("before midnight, next hour") << box << true << set << "5962031600"
                                                << at(2026, 3, 15, 23, 59, 59) << 0;
    QTest::newRow("month end, this hour") << box << true << set << "5962040100" << at(2026, 4, 1, 0, 5) << 2;
    QTest::newRow("month end, previous hour") << dialog << true << set << "5962033123" << at(2026, 4, 1, 0, 5)
                                              << 0;
    QTest::newRow("month end, next hour") << box << true << set << "5962040100" << at(2026, 3, 31, 23, 30) << 0;

    // The parameter password.
    QTest::newRow("box on, parameter password") << box << true << set << set << morning << 1;
    QTest::newRow("box off, parameter password") << box << false << set << set << morning << 1;
    QTest::newRow("dialog, parameter password") << dialog << false << set << set << morning << 1;
    QTest::newRow("empty entry, empty password") << box << true << "" << "" << morning << 1;
    QTest::newRow("empty entry, set password") << box << true << set << "" << morning << 0;
    QTest::newRow("wrong entry") << box << true << set << "4321" << morning << 0;
    QTest::newRow("password with a tail") << box << true << set << "12345" << morning << 0;

    // A parameter password equal to the stored code: the service code is
    // tried first, so it wins while the box wants the stored form.
    QTest::newRow("password 5962, off: service level") << box << false << "5962" << "5962" << morning << 2;
    QTest::newRow("password 5962, on: primary level") << box << true << "5962" << "5962" << morning << 1;
    QTest::newRow("password 5962, dialog: primary level") << dialog << false << "5962" << "5962" << morning << 1;
}

void TestAccessCheck::check()
{
    QFETCH(PasswordPrompt, prompt);
    QFETCH(bool, enabled);
    QFETCH(QString, password);
    QFETCH(QString, entry);
    QFETCH(QDateTime, moment);
    QFETCH(int, level);
    QCOMPARE(AccessLevelFor(entry, password, enabled, prompt, moment), level);

    // The same through the live record.
    WizardPara para;
    para.passwordEnabled = enabled;
    QVERIFY(WizardPara::SetText(para.password, password));
    QCOMPARE(AccessLevelFor(entry, para, prompt, moment), level);
}

void TestAccessCheck::passwordDecodedAsTheStoreDecodes_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("level");
    QTest::newRow("digits") << QByteArray("0815") << "0815" << 1;
    QTest::newRow("UTF-8 text") << QByteArray("caf\xc3\xa9") << QString::fromUtf8("caf\xc3\xa9") << 1;
    QTest::newRow("older Latin-1 bytes") << QByteArray("caf\xe9") << QString::fromUtf8("caf\xc3\xa9") << 1;
    QTest::newRow("bytes taken as text refused") << QByteArray("caf\xc3\xa9") << QString::fromLatin1("caf\xc3\xa9")
                                                  << 0;
}

void TestAccessCheck::passwordDecodedAsTheStoreDecodes()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, entry);
    QFETCH(int, level);
    WizardPara para;
    para.passwordEnabled = 1;
    QVERIFY(WizardPara::SetText(para.password, stored));
    QCOMPARE(AccessLevelFor(entry, para, PasswordPrompt::LoginBox, at(2026, 3, 15, 10, 30)), level);
}

QTEST_GUILESS_MAIN(TestAccessCheck)
#include "tst_accesscheck.moc"
