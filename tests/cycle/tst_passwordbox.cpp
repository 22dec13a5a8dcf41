// The password prompts: the login box and the one-shot dialog answered
// through the modal hook's text script as if typed and confirmed, their
// hints, which events submit which prompt, their sizes, and that nothing
// typed is kept or shown anywhere.
#include "colorbutton.h"
#include "edit.h"
#include "globals.h"
#include "keypadhost.h"
#include "messages.h"
#include "modalhook.h"
#include "numberinput.h"
#include "passwordbox.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QPointer>
#include <QtTest>

#include <memory>

namespace {

// The window's answer to the keypad: the login prompt shows while
// gpPasswordBox is visible.
class LoginKeypadHost : public StandaloneKeypadHost {
public:
    bool passwordBoxVisible() const override { return gpPasswordBox && gpPasswordBox->isVisible(); }
};

// The login prompt gpPasswordBox over a level of its own, with the keypad,
// live parameters whose password is "1234" and passwords switched on.
struct Prompts {
    explicit Prompts(int width = 1280, int height = 800)
    {
        gShowW = width;
        gShowH = height;
        para.passwordEnabled = 1;
        WizardPara::SetText(para.password, QStringLiteral("1234"));
        gpWPara = &para;
        setKeypadHost(&host);
        gpNumPad = new NumberInput(nullptr);
        box = std::make_unique<PasswordBox>(nullptr);
        box->bindAccessLevel(&accessLevel);
        gpPasswordBox = box.get();
    }
    ~Prompts()
    {
        box.reset();
        delete gpNumPad;
        gpNumPad = nullptr;
        setKeypadHost(nullptr);
        gpWPara = nullptr;
    }
    QString serviceCode() const
    {
        return QStringLiteral("5962") + env.clock->now().toString(QStringLiteral("MMddhh"));
    }
    int prompts(const QString& kind) const
    {
        int n = 0;
        for (const ModalRequest& r : env.modalRequests)
            n += r.kind == kind;
        return n;
    }

    TestEnv env;
    WizardPara para;
    int accessLevel = 0;
    LoginKeypadHost host;
    std::unique_ptr<PasswordBox> box;
};

// What a prompt shows when the hook is asked again.
struct Seen {
    QString placeholder;
    QString field;
    int level;
};

} // namespace

class TestPasswordBox : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void wrongEntriesThenCancel_data();
    void wrongEntriesThenCancel();
    void noLockOut();
    void placeholderSequence_data();
    void placeholderSequence();
    void dialogReportsWithoutLoggingIn_data();
    void dialogReportsWithoutLoggingIn();
    void dialogReportsNoneAfterShowAndCancel();
    void keypadConfirmSubmitsOnlyTheLoginBox();
    void hiddenPromptsIgnoreTheKeypad();
    void releaseOnTheLoginBoxSubmitsIt();
    void fieldEmptyAfterClose_data();
    void fieldEmptyAfterClose();
    void geometry_data();
    void geometry();
    void requestsAndMessagesCarryNoSecret();
};

void TestPasswordBox::initTestCase() { FillMessageTable(); }

void TestPasswordBox::init() { gLan = LanEnglish; }

void TestPasswordBox::wrongEntriesThenCancel_data()
{
    QTest::addColumn<int>("levelBefore");
    QTest::newRow("logged out") << 0;
    QTest::newRow("primary before") << 1;
    QTest::newRow("advanced before") << 2;
}

void TestPasswordBox::wrongEntriesThenCancel()
{
    // Each refusal logs out, empties the field and shows the hint; the box
    // stays open (asks again) until Cancel.
    QFETCH(int, levelBefore);
    Prompts t;
    t.accessLevel = levelBefore;
    const std::vector<std::optional<QString>> script{QStringLiteral("0000"), QStringLiteral("5962"), QString(),
                                                     std::nullopt};
    std::vector<Seen> seen;
    size_t next = 0;
    modal::setTextHook([&](const ModalRequest&) -> std::optional<QString> {
        seen.push_back({t.box->passwordEdit->placeholderText(), t.box->passwordEdit->text(), t.accessLevel});
        return script[next++];
    });

    QCOMPARE(t.box->exec(), int(QDialog::Rejected));

    QCOMPARE(seen.size(), size_t(4));
    QCOMPARE(seen[0].level, levelBefore);   // nothing changes before the first entry
    for (size_t k = 1; k < seen.size(); ++k) {
        QCOMPARE(seen[k].placeholder, Msg(357));
        QVERIFY(seen[k].field.isEmpty());
        QCOMPARE(seen[k].level, 0);
    }
    QCOMPARE(t.accessLevel, 0);
    QVERIFY(t.box->passwordEdit->text().isEmpty());
}

void TestPasswordBox::noLockOut()
{
    // Fifty refusals in a row, then the right entry is accepted at once.
    Prompts t;
    for (int k = 0; k < 50; ++k)
        t.env.modalTexts.push_back(QStringLiteral("%1").arg(k, 4, 10, QLatin1Char('0')));
    t.env.modalTexts.push_back(QStringLiteral("1234"));
    QCOMPARE(t.box->exec(), int(QDialog::Accepted));
    QCOMPARE(t.accessLevel, 1);
    QCOMPARE(t.prompts("PasswordBox"), 51);
    QCOMPARE(t.box->errorState, 0);
    QCOMPARE(t.env.clock->sleptMs(), qint64(0));
}

void TestPasswordBox::placeholderSequence_data()
{
    QTest::addColumn<bool>("refusedFirst");
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QList<int>>("hints");   // message shown after each edit, 0 none
    QTest::addColumn<QList<int>>("errorStates");
    QTest::newRow("after a refusal: typed and deleted twice")
        << true << QStringList{"1", "", "2", ""} << QList<int>{0, 357, 0, 125} << QList<int>{2, 0, 0, 0};
    QTest::newRow("after a refusal: typed two, deleted one")
        << true << QStringList{"1", "12", "1"} << QList<int>{0, 0, 0} << QList<int>{2, 2, 2};
    QTest::newRow("fresh: typed and deleted") << false << QStringList{"7", ""} << QList<int>{0, 125}
                                              << QList<int>{0, 0};
}

void TestPasswordBox::placeholderSequence()
{
    QFETCH(bool, refusedFirst);
    QFETCH(QStringList, edits);
    QFETCH(QList<int>, hints);
    QFETCH(QList<int>, errorStates);
    Prompts t;
    t.box->show();
    QCOMPARE(t.box->passwordEdit->placeholderText(), Msg(125));
    if (refusedFirst) {
        t.box->passwordEdit->setText(QStringLiteral("99"));
        t.box->accept();
        QVERIFY(t.box->isVisible());
        QCOMPARE(t.box->errorState, 2);
        QCOMPARE(t.box->passwordEdit->placeholderText(), Msg(357));
    }
    for (int k = 0; k < edits.size(); ++k) {
        t.box->passwordEdit->setText(edits[k]);
        QCOMPARE(t.box->passwordEdit->placeholderText(), hints[k] ? Msg(hints[k]) : QString());
        QCOMPARE(t.box->errorState, errorStates[k]);
    }
}

void TestPasswordBox::dialogReportsWithoutLoggingIn_data()
{
    QTest::addColumn<int>("passwordEnabled");
    QTest::addColumn<QStringList>("entries");   // then Cancel
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("level");
    QTest::newRow("service code") << 0 << QStringList{"service"} << int(QDialog::Accepted) << 2;
    QTest::newRow("parameter password") << 1 << QStringList{"1234"} << int(QDialog::Accepted) << 1;
    QTest::newRow("stored code, then Cancel") << 0 << QStringList{"5962"} << int(QDialog::Rejected) << 0;
    QTest::newRow("wrong, then right") << 1 << QStringList{"1", "1234"} << int(QDialog::Accepted) << 1;
    QTest::newRow("Cancel") << 1 << QStringList{} << int(QDialog::Rejected) << 0;
}

void TestPasswordBox::dialogReportsWithoutLoggingIn()
{
    QFETCH(int, passwordEnabled);
    QFETCH(QStringList, entries);
    QFETCH(int, result);
    QFETCH(int, level);
    for (int before : {0, 1, 2}) {
        Prompts t;
        t.para.passwordEnabled = passwordEnabled;
        t.accessLevel = before;
        PasswordDialog dialog;
        dialog.level = 2;   // left from an earlier use
        for (const QString& e : entries)
            t.env.modalTexts.push_back(e == "service" ? t.serviceCode() : e);
        QCOMPARE(dialog.exec(), result);
        QCOMPARE(dialog.level, level);
        QCOMPARE(t.accessLevel, before);
        QCOMPARE(t.prompts("PasswordDialog"), int(entries.size()) + (result == QDialog::Rejected ? 1 : 0));
        QCOMPARE(t.prompts("PasswordBox"), 0);
    }
}

void TestPasswordBox::dialogReportsNoneAfterShowAndCancel()
{
    Prompts t;
    t.accessLevel = 2;
    PasswordDialog dialog;
    dialog.level = 2;
    dialog.show();
    QCOMPARE(dialog.level, 0);
    dialog.passwordEdit->setText(QStringLiteral("1"));
    dialog.reject();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.level, 0);
    QCOMPARE(t.accessLevel, 2);
}

void TestPasswordBox::keypadConfirmSubmitsOnlyTheLoginBox()
{
    Prompts t;
    PasswordDialog dialog;
    t.box->show();
    dialog.show();
    t.box->passwordEdit->setText(QStringLiteral("1234"));
    dialog.passwordEdit->setText(QStringLiteral("1234"));

    gpNumPad->confirmKey->click();

    QVERIFY(!t.box->isVisible());
    QCOMPARE(t.box->result(), int(QDialog::Accepted));
    QCOMPARE(t.accessLevel, 1);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.level, 0);
    QCOMPARE(dialog.passwordEdit->text(), QStringLiteral("1234"));

    // With the login box gone the keypad's Confirm leaves the dialog alone.
    gpNumPad->confirmKey->click();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.level, 0);

    // Its OK button submits it.
    dialog.okButton->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.level, 1);
    QCOMPARE(t.accessLevel, 1);
}

void TestPasswordBox::hiddenPromptsIgnoreTheKeypad()
{
    // An empty parameter password would let a hidden prompt's empty field
    // through if it checked.
    Prompts t;
    WizardPara::SetText(t.para.password, QString());
    PasswordBox other;
    int otherLevel = 0;
    other.bindAccessLevel(&otherLevel);
    PasswordDialog dialog;
    emit gpNumPad->chkpassword();
    QCOMPARE(t.accessLevel, 0);
    QCOMPARE(otherLevel, 0);
    QCOMPARE(dialog.level, 0);
    QCOMPARE(t.box->errorState, 0);
}

void TestPasswordBox::releaseOnTheLoginBoxSubmitsIt()
{
    Prompts t;
    {
        // A release on the dialog only closes the keypad.
        PasswordDialog dialog;
        dialog.show();
        dialog.passwordEdit->setText(QStringLiteral("1234"));
        QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.level, 0);
    }
    t.box->show();
    t.box->passwordEdit->setText(QStringLiteral("1234"));
    QTest::mouseClick(t.box.get(), Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(!t.box->isVisible());
    QCOMPARE(t.accessLevel, 1);

    // A release with nothing typed is a refused entry: logged out, box open.
    t.box->show();
    QTest::mouseClick(t.box.get(), Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(t.box->isVisible());
    QCOMPARE(t.accessLevel, 0);
    QCOMPARE(t.box->passwordEdit->placeholderText(), Msg(357));
}

void TestPasswordBox::fieldEmptyAfterClose_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("cancel");
    QTest::newRow("accepted") << "1234" << false;
    QTest::newRow("cancelled") << "12" << true;
    QTest::newRow("refused, then cancelled") << "9" << true;
}

void TestPasswordBox::fieldEmptyAfterClose()
{
    QFETCH(QString, typed);
    QFETCH(bool, cancel);
    Prompts t;
    PasswordDialog dialog;
    for (PasswordBox* prompt : {static_cast<PasswordBox*>(t.box.get()), static_cast<PasswordBox*>(&dialog)}) {
        prompt->show();
        prompt->passwordEdit->setText(typed);
        if (typed == "9")
            prompt->okButton->click();
        prompt->passwordEdit->setText(typed);
        if (cancel)
            prompt->cancelButton->click();
        else
            prompt->okButton->click();
        QVERIFY(!prompt->isVisible());
        QVERIFY(prompt->passwordEdit->text().isEmpty());
    }
}

void TestPasswordBox::geometry_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("screenH");
    QTest::addColumn<QRect>("made");
    QTest::addColumn<QRect>("shown");
    QTest::addColumn<QRect>("field");
    QTest::addColumn<QRect>("ok");
    QTest::addColumn<QRect>("cancel");
    QTest::newRow("small") << 1024 << 600 << QRect(302, 210, 420, 180) << QRect(302, 180, 420, 240)
                           << QRect(140, 40, 160, 40) << QRect(30, 125, 140, 60) << QRect(240, 125, 140, 60);
    QTest::newRow("large") << 1280 << 800 << QRect(265, 215, 750, 370) << QRect(265, 215, 750, 370)
                           << QRect(245, 70, 350, 50) << QRect(100, 220, 220, 100) << QRect(430, 220, 220, 100);
}

void TestPasswordBox::geometry()
{
    QFETCH(int, screenW);
    QFETCH(int, screenH);
    QFETCH(QRect, made);
    QFETCH(QRect, shown);
    QFETCH(QRect, field);
    QFETCH(QRect, ok);
    QFETCH(QRect, cancel);
    Prompts t(screenW, screenH);
    QCOMPARE(t.box->geometry().size(), made.size());
    QCOMPARE(t.box->passwordEdit->geometry(), field);
    QCOMPARE(t.box->okButton->geometry(), ok);
    QCOMPARE(t.box->cancelButton->geometry(), cancel);
    QCOMPARE(t.box->passwordEdit->echoMode(), QLineEdit::Password);
    t.box->show();
    QCOMPARE(t.box->size(), shown.size());
    // Every control inside the box.
    for (QWidget* w : {static_cast<QWidget*>(t.box->passwordEdit), static_cast<QWidget*>(t.box->okButton),
                       static_cast<QWidget*>(t.box->cancelButton)})
        QVERIFY(QRect(QPoint(0, 0), t.box->size()).contains(w->geometry()));
}

namespace {
QStringList gMessages;
void captureMessage(QtMsgType, const QMessageLogContext&, const QString& text) { gMessages << text; }
}

void TestPasswordBox::requestsAndMessagesCarryNoSecret()
{
    Prompts t;
    WizardPara::SetText(t.para.password, QStringLiteral("73915"));
    gMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    PasswordDialog dialog;
    t.env.modalTexts = {QStringLiteral("864208"), t.serviceCode(), QStringLiteral("555111"), QStringLiteral("73915")};
    QCOMPARE(t.box->exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    qInstallMessageHandler(previous);

    QCOMPARE(t.env.modalRequests.size(), size_t(4));
    for (const ModalRequest& r : t.env.modalRequests) {
        QCOMPARE(r.messageId, 356);
        QCOMPARE(r.text, Msg(356));
    }
    const QString all = gMessages.join('\n');
    for (const QString& secret : {QStringLiteral("864208"), t.serviceCode(), QStringLiteral("555111"),
                                  QStringLiteral("73915"), QStringLiteral("5962")})
        QVERIFY2(!all.contains(secret), qPrintable(secret));
    QVERIFY(t.box->passwordEdit->text().isEmpty());
    QVERIFY(dialog.passwordEdit->text().isEmpty());
}

QTEST_MAIN(TestPasswordBox)
#include "tst_passwordbox.moc"
