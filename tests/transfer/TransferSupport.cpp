#include "transfer/TransferSupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <random>

#include "mainwindow/PageControl.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "transfer/QweryFile.h"
#include "transfer/SendFile.h"

void Type_Interval(QComboBox *box, const QString &text)
{
    QLineEdit *edit = box->lineEdit();
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

void Open_File_Page(Application &app, const QString &port, int intervalMs)
{
    QDir(app.start.path()).mkpath(QStringLiteral("ReseiveFile"));
    QDir(app.start.path()).mkpath(QStringLiteral("Logs"));
    app.Pick_Port(port);
    Type_Interval(app.form->ComboBox7, QString::number(intervalMs));
    Type_Interval(app.form->ComboBox8, QString::number(intervalMs));
    app.form->PageControl1->setCurrentIndex(1);
}

bool Accept_When_Asked(Application &app, int timeoutMs)
{
    TForm5 *dialog = app.form->Form5;
    if (!Wait_Until([&] { return dialog->isVisible(); }, timeoutMs))
        return false;
    QTest::mouseClick(dialog->SpeedButton1, Qt::LeftButton);
    return true;
}

void Send_File(Application &app, const QString &path)
{
    FileDialogAnswers answers({path});
    QTest::mouseClick(app.form->SpeedButton11, Qt::LeftButton);
    QTest::mouseClick(app.form->SpeedButton12, Qt::LeftButton);
}

bool Sender_Idle(Application &app)
{
    return app.form->Transfer->State.Sender.State() == SendSession::Phase::Idle && !app.form->Form6->isVisible();
}

QStringList Received_Entries(const Application &app)
{
    return QDir(app.start.file(QStringLiteral("ReseiveFile")))
        .entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
}

QByteArray Random_Bytes(qsizetype n, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(n, '\0');
    for (char &c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

QByteArray Transfer(Application &from, Application &to, const QByteArray &data, int timeoutMs)
{
    const QString path = from.start.file(QStringLiteral("outgoing.bin"));
    Write_File(path, data);
    Send_File(from, path);
    EXPECT_TRUE(Accept_When_Asked(to));
    const QString received = to.start.file(QStringLiteral("ReseiveFile/outgoing.bin"));
    EXPECT_TRUE(Wait_Until([&] { return QFileInfo::exists(received) && Sender_Idle(from); }, timeoutMs));
    return Read_File(received);
}
