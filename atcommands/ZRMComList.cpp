#include "atcommands/ZRMComList.h"

namespace {

constexpr EditorKind kListEditor = {"Имя файла:", "Файл списка АТ команд|*.atl", "atl"};

}  // namespace

TForm2::TForm2(QWidget *parent) : AtFileEditor(parent, kListEditor)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle("Form2");
    setFixedSize(393, 401);
}
