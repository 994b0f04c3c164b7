#include "atcommands/ZRMComScript.h"

namespace {

constexpr EditorKind kScriptEditor = {"Имя файла", "файл скриптов АТ команд|*.ats", "ats"};

}  // namespace

TForm3::TForm3(QWidget *parent) : AtFileEditor(parent, kScriptEditor)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle("Form3");
    setFixedSize(394, 401);
}
