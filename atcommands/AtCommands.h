#pragma once
// Commands and scripts: the command page's lists of AT commands, its scripts
// and their runner, the quick panel's sends and the three buttons above the
// terminal that talk to the modem's own software.
//
// It owns its state, its timer (made on the clock it is given), the script
// log and the page's controls, which it builds on the page widget it is
// given; the runner's wait label and stop button go on the window's client
// area, above the terminal. Lines go out through a Link, every box through a
// Console. A run ends when the port goes away (Link::Closing): its next line
// would go to whichever modem answers next.

#include <QFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "atcommands/AtCommandsState.h"
#include "platform/Console.h"

class Link;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;
class TForm2;
class TForm3;
class TForm7;
class TForm8;

namespace vexa {
class Clock;
class Timer;
}  // namespace vexa

// What the window does for the commands and scripts.
struct AtCommandsHost {
    // Makes the start folder the current one and returns it.
    std::function<QString()> Enter_Start_Directory;
    // Hands the keyboard back to the terminal.
    std::function<void()> Clear_Focus;
    // Puts the terminal's cursor on a line of its own, scrolling only when
    // it stands on the last row: the script banners' line step.
    std::function<void()> Step_Line;
    // The modem holds CTS on.
    std::function<bool()> Clear_To_Send;
    // A run captures what the modem says into its log while it lasts.
    std::function<void(bool)> Set_Capture;
};

class AtCommands : public QObject {
public:
    // Builds the page's controls onto page; the wait label and the stop
    // button onto top; gauge shows a run's progress.
    AtCommands(QWidget *page, QWidget *top, QProgressBar *gauge, vexa::Clock &clock, Link &link, Console &console,
               AtCommandsHost host);
    ~AtCommands() override;
    // The editors, the builder and the quick panel, made after the page.
    void Attach_Dialogs(TForm2 *listEditor, TForm3 *scriptEditor, TForm7 *builder, TForm8 *quickPanel);

    // ----- what the window forwards -----
    void SpeedButton1Click();   // list "Создать"
    void SpeedButton2Click();   // list "Редактировать"
    void SpeedButton3Click();   // list "Загрузить"
    void SpeedButton4Click();   // "Послать"
    void SpeedButton24Click();  // the quick panel
    void CheckBox3Click();      // autoload at start
    void ComboBox6Change();
    void SpeedButton5Click();  // script "В ручную"
    void SpeedButton6Click();  // script "При помощи формы"
    void SpeedButton7Click();  // script editing
    void SpeedButton8Click();  // "Выполнить скрипт"
    void SpeedButton9Click();  // the last run's log
    void SpeedButton_Script_OpenClick(int slot);
    void SpeedButton_Script_RUNClick(int slot);
    void BitBtn_Send_Selected_ScriptClick();
    void SpeedButton_Script_StopClick();
    void SpeedButton_StartClick();
    void SpeedButton_ResetClick();
    void SpeedButton_StopClick();
    void Timer2Timer();
    // The list named in the start folder's configuration, at start.
    void Autoload_AT_List();
    bool Load_AT_List(const QString &path);
    // Leaving the command page hides the quick panel.
    void Hide_Quick_Panel();
    bool Start_Script(const QString &path);
    // Each chunk received, for the answer a running script waits for.
    void Script_Heard(const QByteArray &chunk);
    // What the modem said while a run captures, into its log.
    void Log_Received(const std::uint8_t *bytes, std::uint32_t count);
    // Echoes the text and a CR in the colour, then writes them; an empty
    // text sends nothing; a failed write is told in a box.
    void Send_Echoed_Line(const QByteArray &text, ColorRef color);

    AtCommandsState State;
    QFile Script_Log;             // Logs/ScriptLog.atl while a script runs
    bool Config_Loading = false;  // the autoload ticks CheckBox3 itself

    // ----- controls of the command page and above the terminal -----
    QCheckBox *CheckBox3 = nullptr;
    QComboBox *ComboBox6 = nullptr;
    QPushButton *SpeedButton1 = nullptr, *SpeedButton2 = nullptr, *SpeedButton3 = nullptr, *SpeedButton4 = nullptr,
                *SpeedButton24 = nullptr;
    QPushButton *SpeedButton5 = nullptr, *SpeedButton6 = nullptr, *SpeedButton7 = nullptr, *SpeedButton8 = nullptr,
                *SpeedButton9 = nullptr, *BitBtn_Send_Selected_Script = nullptr;
    QLineEdit *Edit_Script[3] = {};                  // Edit_Script_1 .. _3
    QPushButton *SpeedButton_Script_Open[3] = {};    // SpeedButton_Script_1_Open .. _3_Open
    QPushButton *SpeedButton_Script_RUN[3] = {};     // SpeedButton_Script_1_RUN .. _3_RUN
    QPushButton *SpeedButton_Script_Stop = nullptr;  // ends a run that waits
    QLabel *Label_Script_Wait = nullptr;             // how long the run has waited
    QProgressBar *Gauge1 = nullptr;
    std::unique_ptr<vexa::Timer> Timer2;

private:
    void Build_Page(QWidget *page, QWidget *top);
    void Build_Script_Slot(QWidget *box, int slot, int y);
    void Connect_Page();
    QString Enter_Start_Directory() { return host_.Enter_Start_Directory(); }
    QWidget *Dialog_Parent() const;
    bool Echo_And_Write(const QByteArray &text, ColorRef color);  // no box
    void Send_If_CTS(const char *command);
    void Send_Script_Step();
    void End_Script(const QString &reason = QString());
    void Script_Port_Closed();
    void Script_Banner(const char *text);

    QWidget *page_;
    vexa::Clock &clock_;
    Link &link_;
    Console &console_;
    AtCommandsHost host_;
    TForm2 *listEditor_ = nullptr;
    TForm3 *scriptEditor_ = nullptr;
    TForm7 *builder_ = nullptr;
    TForm8 *quickPanel_ = nullptr;
};
