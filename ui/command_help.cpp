#include "ui/command_help.h"

#include "interpreter/code_help.h"
#include "ui/latin1_text.h"

namespace dozu {

QChar command_key(int tag) { return QChar('A' + tag - 1); }

int command_of_key(int key, Qt::KeyboardModifiers modifiers) {
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return 0;
    if (key < Qt::Key_A || key > Qt::Key_Z) return 0;
    return key - Qt::Key_A + 1;
}

QString command_tooltip(const CommandTable& table, int tag) {
    const std::string& code = table.interpreter_code(tag);
    if (code.empty()) return QString("Button %1 is empty: it has no interpreter code").arg(tag);
    QString title = shown_text(table.title(tag)).trimmed();
    if (title.isEmpty()) title = QString("Button %1").arg(tag);
    const std::string help = code_help(code);
    return QString("%1%2\nInterpreter code: %3\nCompiled code: %4\nKey: %5 in the program list")
        .arg(title, help.empty() ? QString() : ": " + QString::fromStdString(help), shown_text(code),
             shown_text(table.compiled_code(tag)), command_key(tag));
}

}  // namespace dozu
