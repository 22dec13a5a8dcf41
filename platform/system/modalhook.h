#pragma once
// Modal boxes (exec()) consult this hook first.  When a hook is installed it
// answers in place of the user and no local event loop runs, so a headless
// test can never hang on a dialog.  The real boxes run as usual otherwise.
#include <QString>
#include <functional>

struct ModalRequest {
    QString kind;      // "WarnBox", "ChooseBox", "ModifyTimeWidget", ...
    int messageId = -1; // message table id when the text came from it, else -1
    QString text;      // the text shown
};

namespace modal {
using Hook = std::function<int(const ModalRequest&)>;
void setHook(Hook hook);   // an empty hook removes it
bool hooked();
// Asks the hook; only valid when hooked().
int answer(const ModalRequest& request);
}
