#include "accesscheck.h"

#include "wizardpara.h"

namespace {

// The stored form of the service code; its run-time form appends the
// month, day and hour of the check.
constexpr char kServiceCode[] = "5962";

QString ServiceCodeFor(bool runTimeForm, const QDateTime& at)
{
    const QString stored = QString::fromLatin1(kServiceCode);
    if (!runTimeForm)
        return stored;
    return stored + at.toLocalTime().toString(QStringLiteral("MMddhh"));
}

}

int AccessLevelFor(const QString& entry, const QString& parameterPassword, bool passwordEnabled,
                   PasswordPrompt prompt, const QDateTime& at)
{
    const bool runTimeForm = passwordEnabled || prompt == PasswordPrompt::OneShotDialog;
    if (entry == ServiceCodeFor(runTimeForm, at))
        return 2;
    if (entry == parameterPassword)
        return 1;
    return 0;
}

int AccessLevelFor(const QString& entry, const WizardPara& para, PasswordPrompt prompt, const QDateTime& at)
{
    return AccessLevelFor(entry, WizardPara::Text(para.password), para.passwordEnabled != 0, prompt, at);
}
