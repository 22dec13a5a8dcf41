#pragma once
// The password check of the two prompts as a pure function: which level an
// entry grants at a given moment.  The service code lives only here.
#include <QDateTime>
#include <QString>

class WizardPara;

// Which prompt checks: the login box raises the window's access level; the
// one-shot dialog only reports a level for a single action.
enum class PasswordPrompt { LoginBox, OneShotDialog };

// 2 for the service code, 1 for the parameter password, 0 otherwise.  The
// service code is tried first.  The login box takes the service code's
// stored form while passwords are off and its run-time form (valid for the
// hour it names, local time) while they are on; the one-shot dialog always
// wants the run-time form.  An empty entry matches an empty parameter
// password.
int AccessLevelFor(const QString& entry, const QString& parameterPassword, bool passwordEnabled,
                   PasswordPrompt prompt, const QDateTime& at);

// The same against the live record, whose password is decoded as the
// parameter store decodes every text field.
int AccessLevelFor(const QString& entry, const WizardPara& para, PasswordPrompt prompt, const QDateTime& at);
