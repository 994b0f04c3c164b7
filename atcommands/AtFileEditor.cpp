#include "atcommands/AtFileEditor.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "atcommands/AtFiles.h"
#include "atcommands/AtWidgets.h"
#include "atcommands/TextLines.h"
#include "platform/Controls.h"
#include "platform/Cp1251.h"
#include "platform/FileDialogs.h"
#include "platform/Messages.h"

AtFileEditor::AtFileEditor(QWidget *parent, const EditorKind &kind) : QDialog(parent), kind_(kind)
{
    const QString yellow = QStringLiteral("background-color: #FFFFE1;");
    Label(QString::fromUtf8(kind.Name_Label), this, 8, 10);
    Edit1 = Named(new QLineEdit(this), "Edit1");
    Edit1->setGeometry(8, 28, 292, 22);
    Edit1->setStyleSheet(yellow);
    SpeedButton1 = Named(new QPushButton(QStringLiteral("Дерево"), this), "SpeedButton1");
    SpeedButton1->setGeometry(304, 28, 80, 22);
    Label(QStringLiteral("Редактор команд:"), this, 8, 58);
    Memo1 = Named(new QPlainTextEdit(this), "Memo1");
    Memo1->setGeometry(8, 76, 376, 286);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setStyleSheet(yellow);
    SpeedButton2 = Named(new QPushButton(QStringLiteral("Сохранить в файл"), this), "SpeedButton2");
    SpeedButton2->setGeometry(4, 368, 385, 28);
    connect(SpeedButton1, &QPushButton::clicked, this, &AtFileEditor::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &AtFileEditor::SpeedButton2Click);
    Without_Default_Button(this);
}

void AtFileEditor::Open(const QString &caption, const QString &startDirectory, const QString &path)
{
    startDirectory_ = startDirectory;
    setWindowTitle(caption);
    Edit1->clear();
    Memo1->clear();
    if (path.isEmpty() || Load(path))
        exec();
}

bool AtFileEditor::Load(const QString &path)
{
    QString reason;
    const auto bytes = Read_Whole_File(path, &reason);
    if (!bytes) {
        vexa::Show_Error(reason);
        return false;
    }
    Edit1->setText(path);
    Memo1->setPlainText(vexa::Cp1251_Decode(Editor_Text(*bytes)));
    return true;
}

void AtFileEditor::SpeedButton1Click()
{
    QDir::setCurrent(startDirectory_);
    const QString path =
        vexa::Choose_File(this, {vexa::FileDialogKind::Save, QStringLiteral("SaveDialog1"), startDirectory_,
                                 QString::fromUtf8(kind_.Save_Filter), QString::fromLatin1(kind_.Default_Suffix)});
    if (!path.isEmpty())
        Edit1->setText(path);
}

// A typed relative name is saved under the start directory, whatever the
// current directory is at the moment. What was loaded and not edited goes
// back byte for byte, line breaks made CR LF.
void AtFileEditor::SpeedButton2Click()
{
    const QString text = Area_Text(Memo1);
    if (Edit1->text().isEmpty() || text.isEmpty()) {
        vexa::Show_Warning(this, QStringLiteral("Не все поля заполнены "));
        return;
    }
    QString reason;
    if (!Write_Whole_File(QDir(startDirectory_).absoluteFilePath(Edit1->text()), File_Text(vexa::Cp1251_Encode(text)),
                          &reason)) {
        vexa::Show_Error(reason);
        return;
    }
    accept();
}
