#pragma once
// The programming page as a user drives it: a port opened through the picker,
// the page chosen, files picked through the file dialog, buttons clicked.
// The modem at the other end is up to each test.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "mainwindow/PageControl.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "support/TestSupport.h"
#include "xmodem/FirmwareDownload.h"

// Bytes of every value from a fixed seed, so that a file of any size has
// control bytes (SOH, ACK, NAK, CAN, 0x1A) in its data.
inline QByteArray Firmware_Bytes(int size, unsigned seed)
{
    QByteArray bytes(size, '\0');
    for (char &byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = char(seed >> 16);
    }
    return bytes;
}

inline QByteArray Padded(const QByteArray &content)
{
    const int padded = (int(content.size()) + 127) / 128 * 128;
    return content + QByteArray(padded - content.size(), '\x1A');
}

// Every text a field showed, in order, so that the counters of a download
// can be read after the finish has emptied them.
class FieldHistory {
public:
    explicit FieldHistory(QLineEdit *edit)
    {
        QObject::connect(edit, &QLineEdit::textChanged, edit, [this](const QString &text) { texts_ << text; });
    }
    QStringList texts() const { return texts_; }
    // The last text that was not empty.
    QString last() const
    {
        for (auto it = texts_.rbegin(); it != texts_.rend(); ++it)
            if (!it->isEmpty())
                return *it;
        return {};
    }

private:
    QStringList texts_;
};

class ProgrammingPageTest : public ::testing::Test {
protected:
    Application app;
    TForm1 &f = *app.form;
    FirmwareDownload &fw = *f.Firmware;

    // Opens the port as a user types its name, and shows the page.
    void Open_Page(const QString &port)
    {
        f.show();
        app.Pick_Port(port);
        ASSERT_TRUE(f.Serial->PortHeld) << app.catcher.messages().join('|').toStdString();
        f.PageControl1->setCurrentIndex(2);
        ASSERT_TRUE(f.Rx_Xmodem);
        // Short enough for fast tests, long enough for a loaded machine.
        fw.Reply_Timeout_Ms = 1500;
    }

    QString Write_Firmware(const QString &name, const QByteArray &content)
    {
        const QString path = app.start.file(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    void Click(QPushButton *button)
    {
        ASSERT_TRUE(button->isVisible()) << button->objectName().toStdString();
        ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Picks the file in "Выбрать файл" and presses "Прошить".
    void Flash(const QString &path)
    {
        FileDialogAnswers answers({path});
        Click(fw.SpeedButton14);
        Click(fw.SpeedButton15);
    }

    void Add_To_Group(const QString &path, bool checked)
    {
        FileDialogAnswers answers({path});
        Click(fw.SpeedButton17);
        QListWidgetItem *entry = fw.CheckListBox1->item(fw.CheckListBox1->count() - 1);
        ASSERT_EQ(entry->text(), path);
        entry->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }

    bool Screen_Shows(const char *utf8) const { return app.Work_Char_Log().contains(Cp(utf8)); }
    bool Locked() const { return !f.PageControl1->isEnabled(); }

    // What every end of a download leaves: nothing locked, open or shown.
    void Expect_Released()
    {
        EXPECT_FALSE(fw.Sender.Running());
        EXPECT_TRUE(f.PageControl1->isEnabled());
        EXPECT_FALSE(fw.File.isOpen());
        EXPECT_FALSE(fw.Gauge2->isVisible());
        EXPECT_FALSE(fw.Gauge3->isVisible());
        EXPECT_FALSE(fw.TimerModemSilence->Active());
    }

    void Expect_No_Group()
    {
        EXPECT_FALSE(fw.TimerProgrammingSeveralFiles->Active());
        EXPECT_TRUE(fw.Group_Queue.isEmpty());
    }
};
