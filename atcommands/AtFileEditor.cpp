#include "atcommands/AtFileEditor.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "atcommands/TextLines.h"
#include "mainwindow/Controls.h"
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
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        vexa::Show_Error(path + QStringLiteral(": ") + file.errorString());
        return false;
    }
    Edit1->setText(path);
    Memo1->setPlainText(vexa::Cp1251_Decode(Editor_Text(bytes)));
    return true;
}

void AtFileEditor::SpeedButton1Click()
{
    QDir::setCurrent(startDirectory_);
    const QString path = vexa::Choose_File(
        this, {vexa::FileDialogKind::Save, QStringLiteral("SaveDialog1"), startDirectory_,
               QString::fromUtf8(kind_.Save_Filter), QString::fromLatin1(kind_.Default_Suffix)});
    if (!path.isEmpty())
        Edit1->setText(path);
}

// A typed relative name is saved under the start directory, whatever the
// current directory is at the moment.
void AtFileEditor::SpeedButton2Click()
{
    if (Edit1->text().isEmpty() || Memo1->toPlainText().isEmpty()) {
        vexa::Show_Warning(this, QStringLiteral("Не все поля заполнены "));
        return;
    }
    const QString path = QDir(startDirectory_).absoluteFilePath(Edit1->text());
    QFile file(path);
    const QByteArray text = File_Text(vexa::Cp1251_Encode(Memo1->toPlainText()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size() || !file.flush()) {
        vexa::Show_Error(path + QStringLiteral(": ") + file.errorString());
        return;
    }
    file.close();
    accept();
}
