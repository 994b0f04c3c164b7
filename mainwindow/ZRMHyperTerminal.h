#pragma once
// The main window, TForm1. It builds and owns each page's subsystem (commands
// and scripts, file transfer, firmware download, test traffic: classes of
// their own behind a Link, a Console and a Clock) and the seven secondary
// windows; its handlers of those pages are one-line forwards, and it routes
// what the port receives to the subsystem the page makes active. The port
// with its reader, writer and line is one of them too (serial/SerialLink.h),
// the Link the others talk through. Start-up, pages and the terminal screen
// are the window's own.

#include <QFile>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/Console.h"
#include "platform/QtClock.h"
#include "platform/SerialPort.h"
#include "serial/SerialLink.h"
#include "transfer/FileTransfer.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QTimer;
class GlyphStrips;
class PageControl;
class ScreenPicture;
class AtCommands;
class FirmwareDownload;
class TestTraffic;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
class TForm8;
class Window_Console;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // ----- secondary windows (set by Create_Application_Forms) -----
    TForm2 *Form2 = nullptr;
    TForm3 *Form3 = nullptr;
    TForm5 *Form5 = nullptr;
    TForm6 *Form6 = nullptr;
    TForm7 *Form7 = nullptr;
    TForm4 *Form4 = nullptr;
    TForm8 *Form8 = nullptr;

    // ----- what the subsystems talk through (mainwindow/WindowSeams.cpp) -----
    // Made before any page is built: a page's subsystem takes them.
    vexa::QtClock Clock{this};
    std::unique_ptr<Window_Console> Screen_Console;

    // ===== the port (serial/SerialLink.h): opening, reader, writer, line, retake =====
    // Made with the port group, before the pages; the Link of every page.
    std::unique_ptr<SerialLink> Serial;
    void Find_Free_Ports();
    void ComboBox1Change();
    void SpeedButton26Click();

    // ----- writing, through the port's writer; callable from any thread -----
    bool Write_To_Port(const std::uint8_t *bytes, std::uint32_t count);
    bool Write_To_Port(const QByteArray &bytes);
    void Send_AT_Command(const QByteArray &command);
    void Show_Sent_Bytes();  // Edit14 from the writer's counter

    // ----- serial link: receiving, routed by the page (mainwindow/ReceiveRouting.cpp) -----
    std::vector<std::uint8_t> Rx_Buffer = std::vector<std::uint8_t>(kRxBufferSize);
    std::uint32_t Rx_Count = 0;
    bool Rx_Script = false, Rx_File = false, Rx_Xmodem = false, Rx_Test = false;
    std::atomic<bool> Reply_Seen{false};
    void Dispatch_Received();
    // Called on the main thread with each chunk a reader hands over.
    void Take_Received(const QByteArray &chunk);

    // ----- the port's line settings, lamps, speed switch (mainwindow/PortGroupForwards.cpp) -----
    void ComboBox2Change();
    void ComboBox3Change();
    void ComboBox4Change();
    void ComboBox5Change();
    void CheckBox1Click();
    void CheckBox2Click();
    void CheckBox4Click();
    void Show_Port_Status();
    void Timer1Timer();
    void SpeedButtonChangeSpped115200_9600();
    void Timer_ChangeSpped115200_9600Timer();
    void ChangeOurSpeed(const QString &speed);
    void Show_Speed_Switch(bool at115200);

    // ----- main window (mainwindow/ZRMHyperTerminal.cpp) -----
    QString Start_Directory;

    void FormCreate();
    void FormDestroy();
    void PageControl1Change();
    void AltX1Click();
    void AltX2Click();
    void ASCII1Click();
    void Clear_Focus();
    void Set_Status_Panel(int panel, const QString &text);
    QString Status_Panel_Text(int panel) const;
    // Restores the process's current directory to Start_Directory.
    void Enter_Start_Directory() const;

    // ----- terminal screen (mainwindow/TerminalScreen.cpp) -----
    int Cursor_X = 0;
    int Cursor_Y = 0;
    bool Cursor_Phase = false;
    ColorRef Screen_Back_Color = 0;
    QImage Screen_Image;  // the picture Image1 shows, 384 x 6000
    QFile WorkChar_Log;
    void Print_To_Screen(const std::uint8_t *bytes, std::uint32_t count, ColorRef color);
    void Print_To_Screen(const QByteArray &bytes, ColorRef color);
    void Screen_New_Line();
    // The cursor to a line of its own, scrolling only from the last row.
    void Step_Line();
    void Clear_Screen();
    void Draw_Cursor(int x, int y, ColorRef color);
    void Timer_CursorTimer();
    void FormKeyPress(const QString &typed);
    void SpeedButton10Click();

    // ===== AT commands (atcommands/AtCommands.h): lists, scripts, quick panel, builder =====
    // Made with the command page (mainwindow/CommandPageForwards.cpp).
    std::unique_ptr<AtCommands> Commands;
    QProgressBar *Gauge1 = nullptr;  // a run's progress, under the terminal
    QPushButton *SpeedButton_Start = nullptr, *SpeedButton_Reset = nullptr, *SpeedButton_Stop = nullptr;
    void Build_Command_Page(QWidget *page);
    void SpeedButton1Click();   // list "Создать"
    void SpeedButton2Click();   // list "Редактировать"
    void SpeedButton3Click();   // list "Загрузить"
    void SpeedButton4Click();   // "Послать"
    void SpeedButton24Click();  // the quick panel
    void CheckBox3Click();
    void ComboBox6Change();
    void SpeedButton5Click();
    void SpeedButton6Click();
    void SpeedButton7Click();
    void SpeedButton8Click();
    void SpeedButton9Click();
    void BitBtn_Send_Selected_ScriptClick();
    void SpeedButton_Script_StopClick();
    void Timer2Timer();
    void SpeedButton_StartClick();
    void SpeedButton_ResetClick();
    void SpeedButton_StopClick();

    // ===== file transfer (transfer/FileTransfer.h): frame protocol, sender, receiver =====
    std::unique_ptr<FileTransfer> Transfer;
    QComboBox *ComboBox7 = nullptr, *ComboBox8 = nullptr;  // its intervals
    QLineEdit *Edit5 = nullptr, *Edit6 = nullptr;          // chosen file, its size
    QPushButton *SpeedButton11 = nullptr, *SpeedButton12 = nullptr, *SpeedButton13 = nullptr;
    void Build_File_Page(QWidget *page);
    void Reset_File_Protocol();  // entering the file-transfer page
    void Leave_File_Page();      // another page was chosen
    // The receive branch of the file-transfer page.
    void Parse_File_Frames(const std::uint8_t *bytes, std::uint32_t count);
    void SpeedButton11Click();  // choose the file
    void SpeedButton12Click();  // announce it
    void SpeedButton13Click();  // replay the transfer log
    void ComboBox7Change();
    void ComboBox8Change();

    // ===== firmware download (xmodem/): one file and a group =====
    // Made with the programming page (mainwindow/FirmwarePage.cpp).
    std::unique_ptr<FirmwareDownload> Firmware;
    void Build_Programming_Page(QWidget *page);
    void SpeedButton14Click();  // Choose_Firmware_File
    void SpeedButton15Click();  // "Прошить"
    void SpeedButton16Click();  // "Прошить группу файлов"
    void SpeedButton17Click();  // "Добавить"
    void SpeedButton18Click();  // "Удалить"
    void TimerProgrammingSeveralFilesTimer();
    void TimerRunNextTimer();
    QString Choose_Firmware(const char *dialog, const QString &filter);

    // ===== test traffic (testtraffic/): test string and ASCII flood =====
    // Made with the test page (mainwindow/TestPageForwards.cpp).
    std::unique_ptr<TestTraffic> Traffic;
    void Build_Test_Page(QWidget *page);
    void SpeedButton20Click();  // test string "Пуск"
    void SpeedButton19Click();  // test string "Стоп"
    void SpeedButton22Click();  // ASCII array "Пуск"
    void SpeedButton21Click();  // ASCII array "Стоп"
    void SpeedButton23Click();  // "Очистить"
    void TimerSendWordTimer();

    // ----- help pages (help/HelpPages.cpp) -----
    void N2Click();
    void N3Click();
    void COM1Click();
    void N5Click();
    void N6Click();
    void AT1Click();
    void N7Click();
    void N9Click();
    void N8Click();
    void Image3Click();

    // ----- controls, by their designer names -----
    QComboBox *ComboBox1 = nullptr, *ComboBox2 = nullptr, *ComboBox3 = nullptr, *ComboBox4 = nullptr,
              *ComboBox5 = nullptr;
    QPushButton *SpeedButton26 = nullptr, *SpeedButton25 = nullptr, *SpeedButton10 = nullptr;
    QCheckBox *CheckBox1 = nullptr, *CheckBox2 = nullptr, *CheckBox4 = nullptr, *CheckBox7 = nullptr;
    QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr, *Edit4 = nullptr;
    QLabel *Image3 = nullptr;
    QScrollArea *ScrollBox1 = nullptr;
    ScreenPicture *Image1 = nullptr;
    PageControl *PageControl1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QTimer *Timer1 = nullptr, *Timer_Cursor = nullptr, *Timer_ChangeSpped115200_9600 = nullptr;

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void Build_Window();
    void Build_Port_Group(QWidget *parent);
    void Build_Pages();
    void Build_Terminal();
    void Build_Status_Bar();
    void Build_Menus();
    void Connect_Handlers();

    void Show_Help_Page(const char *file, const char *heading);
    void Create_Work_Char_Log();
    void Append_Work_Char_Log(const std::uint8_t *bytes, std::uint32_t count);
    void Draw_Glyph(std::uint8_t byte, int x, int y, ColorRef color);

    QLabel *statusPanels_[5] = {};
    bool slidIn_ = false;
    bool slidOut_ = false;
    bool logErrorShown_ = false;
    std::unique_ptr<GlyphStrips> glyphs_;
    QRect dirty_;
};

// Creates the eight windows in their order (each secondary window hidden) and
// returns the main window; the caller shows it and owns it.
TForm1 *Create_Application_Forms();
