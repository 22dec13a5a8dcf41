#pragma once
// Modal boxes (exec()) consult this hook first.  When a hook is installed it
// answers in place of the user and no local event loop runs, so a headless
// test can never hang on a dialog.  The real boxes run as usual otherwise.
#include <QString>
#include <functional>
#include <optional>

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

// Text prompts (the password prompts) ask a hook of their own: it answers
// with the text entered, or nullopt for Cancel.  The prompt then runs its
// own check on that text as if it had been typed and confirmed, and asks
// again after a refused entry.  The request carries the prompt's caption,
// never an entered text.  Without a text hook, a hooked prompt is cancelled.
using TextHook = std::function<std::optional<QString>(const ModalRequest&)>;
void setTextHook(TextHook hook);   // an empty hook removes it
// Asks the text hook; only valid when hooked().
std::optional<QString> answerText(const ModalRequest& request);
}
