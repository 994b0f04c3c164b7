// The command page: its controls, what the main window asks of the AT
// commands subsystem on a page switch, the quick panel's button and the
// "Start", "Reset", "Stop" buttons above the terminal.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include "atcommands/AtCommands.h"
#include "atcommands/QuickCommands.h"
#include "atcommands/QwickCommnds.h"
#include "platform/Clock.h"
#include "platform/Controls.h"
#include "serial/Link.h"
#include "serial/PortErrors.h"

namespace {

QPushButton *Glyph(const QString &name, QStyle::StandardPixmap icon, QWidget *parent, const QRect &at)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(name);
    button->setIcon(QApplication::style()->standardIcon(icon));
    button->setGeometry(at);
    return button;
}

}  // namespace

AtCommands::AtCommands(QWidget *page, QWidget *top, QProgressBar *gauge, vexa::Clock &clock, Link &link,
                       Console &console, AtCommandsHost host)
    : QObject(page), Gauge1(gauge), page_(page), clock_(clock), link_(link), console_(console), host_(std::move(host))
{
    Build_Page(page, top);
    Timer2 = clock.Make_Timer("Timer2", kScriptTickMs, false, [this] { Timer2Timer(); });
    Connect_Page();
    connect(&link, &Link::Closing, this, &AtCommands::Script_Port_Closed);
}

AtCommands::~AtCommands() = default;

void AtCommands::Attach_Dialogs(TForm2 *listEditor, TForm3 *scriptEditor, TForm7 *builder, TForm8 *quickPanel)
{
    listEditor_ = listEditor;
    scriptEditor_ = scriptEditor;
    builder_ = builder;
    quickPanel_ = quickPanel;
}

QWidget *AtCommands::Dialog_Parent() const { return page_->window(); }

void AtCommands::Build_Page(QWidget *page, QWidget *top)
{
    auto *list = Named(new QGroupBox(QStringLiteral("СПИСОК КОМАНД:"), page), "GroupBox2");
    list->setGeometry(0, 0, 343, 110);
    CheckBox3 =
        Named(new QCheckBox(QStringLiteral("Автоматически загружать список команд при запуске "), list), "CheckBox3");
    CheckBox3->setGeometry(4, 18, 335, 16);
    QFont small = CheckBox3->font();
    small.setPixelSize(10);
    CheckBox3->setFont(small);
    SpeedButton1 = Button("SpeedButton1", QStringLiteral("Создать"), list, {4, 36, 104, 22});
    SpeedButton2 = Button("SpeedButton2", QStringLiteral("Редактировать"), list, {112, 36, 116, 22});
    SpeedButton3 = Button("SpeedButton3", QStringLiteral("Загрузить"), list, {232, 36, 107, 22});
    ComboBox6 = Combo("ComboBox6", list, {4, 60, 250, 22});
    ComboBox6->setEditText(QStringLiteral("Выбирете команду"));
    ComboBox6->setFocusPolicy(Qt::ClickFocus);
    SpeedButton4 = Button("SpeedButton4", QStringLiteral("Послать"), list, {258, 60, 81, 22});
    SpeedButton24 = Button("SpeedButton24", QStringLiteral("Панель быстрых команд"), list, {4, 84, 335, 22});

    auto *scripts = Named(new QGroupBox(QStringLiteral("СКРИПТЫ:"), page), "GroupBox3");
    scripts->setGeometry(0, 112, 343, 176);
    auto *create = Named(new QGroupBox(QStringLiteral("Создать:"), scripts), "GroupBox4");
    create->setGeometry(4, 18, 224, 38);
    SpeedButton5 = Button("SpeedButton5", QStringLiteral("В ручную"), create, {4, 15, 84, 20});
    SpeedButton6 = Button("SpeedButton6", QStringLiteral("При помощи формы"), create, {92, 15, 128, 20});
    auto *edit = Named(new QGroupBox(QStringLiteral("Редактировать"), scripts), "GroupBox5");
    edit->setGeometry(232, 18, 107, 38);
    SpeedButton7 = Button("SpeedButton7", QStringLiteral("В ручную"), edit, {4, 15, 99, 20});
    for (int slot = 0; slot < 3; ++slot)
        Build_Script_Slot(scripts, slot, 58 + slot * 22);
    SpeedButton8 = Button("SpeedButton8", QStringLiteral("Выполнить скрипт"), scripts, {4, 126, 128, 22});
    BitBtn_Send_Selected_Script = Button("BitBtn_Send_Selected_Script", QStringLiteral("Выполнить выбранный скрипт"),
                                         scripts, {136, 126, 203, 22});
    QFont bold = BitBtn_Send_Selected_Script->font();
    bold.setBold(true);
    BitBtn_Send_Selected_Script->setFont(bold);
    SpeedButton9 =
        Button("SpeedButton9", QStringLiteral("Просмотр протокола последнего скрипта"), scripts, {4, 150, 335, 22});
    // Above the terminal, seen whatever the page: how long a run has waited
    // for an answer, and the button that ends the run.
    Label_Script_Wait = Named(Label(QString(), top, 533, 2, 112), "Label_Script_Wait");
    Label_Script_Wait->setFixedHeight(22);
    Label_Script_Wait->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label_Script_Wait->setFont(small);
    SpeedButton_Script_Stop =
        Glyph(QStringLiteral("SpeedButton_Script_Stop"), QStyle::SP_MediaStop, top, {648, 2, 22, 22});
    SpeedButton_Script_Stop->setToolTip(QStringLiteral("Остановить скрипт"));
    SpeedButton_Script_Stop->setEnabled(false);
}

// A slot: its script path, a button to choose it and one to run it.
void AtCommands::Build_Script_Slot(QWidget *box, int slot, int y)
{
    const QString number = QString::number(slot + 1);
    Edit_Script[slot] = new QLineEdit(box);
    Edit_Script[slot]->setObjectName(QStringLiteral("Edit_Script_") + number);
    Edit_Script[slot]->setGeometry(4, y, 283, 20);
    Edit_Script[slot]->setStyleSheet(QStringLiteral("background-color: #A7E3DF;"));
    SpeedButton_Script_Open[slot] =
        Glyph(QStringLiteral("SpeedButton_Script_%1_Open").arg(number), QStyle::SP_DirOpenIcon, box, {290, y, 24, 20});
    SpeedButton_Script_RUN[slot] =
        Glyph(QStringLiteral("SpeedButton_Script_%1_RUN").arg(number), QStyle::SP_MediaPlay, box, {315, y, 24, 20});
    connect(SpeedButton_Script_Open[slot], &QPushButton::clicked, this,
            [this, slot] { SpeedButton_Script_OpenClick(slot); });
    connect(SpeedButton_Script_RUN[slot], &QPushButton::clicked, this,
            [this, slot] { SpeedButton_Script_RUNClick(slot); });
}

void AtCommands::Connect_Page()
{
    connect(CheckBox3, &QCheckBox::toggled, this, &AtCommands::CheckBox3Click);
    connect(ComboBox6->lineEdit(), &QLineEdit::textEdited, this, &AtCommands::ComboBox6Change);
    connect(ComboBox6, &QComboBox::textActivated, this, &AtCommands::ComboBox6Change);
    const std::pair<QPushButton *, void (AtCommands::*)()> clicks[] = {
        {SpeedButton1, &AtCommands::SpeedButton1Click},
        {SpeedButton2, &AtCommands::SpeedButton2Click},
        {SpeedButton3, &AtCommands::SpeedButton3Click},
        {SpeedButton4, &AtCommands::SpeedButton4Click},
        {SpeedButton24, &AtCommands::SpeedButton24Click},
        {SpeedButton5, &AtCommands::SpeedButton5Click},
        {SpeedButton6, &AtCommands::SpeedButton6Click},
        {SpeedButton7, &AtCommands::SpeedButton7Click},
        {SpeedButton8, &AtCommands::SpeedButton8Click},
        {SpeedButton9, &AtCommands::SpeedButton9Click},
        {BitBtn_Send_Selected_Script, &AtCommands::BitBtn_Send_Selected_ScriptClick},
        {SpeedButton_Script_Stop, &AtCommands::SpeedButton_Script_StopClick},
    };
    for (const auto &[button, handler] : clicks)
        connect(button, &QPushButton::clicked, this, handler);
}

void AtCommands::Hide_Quick_Panel()
{
    if (quickPanel_ && quickPanel_->isVisible())
        quickPanel_->hide();
}

void AtCommands::Send_Echoed_Line(const QByteArray &text, ColorRef color)
{
    if (!text.isEmpty() && !Echo_And_Write(text, color))
        console_.Notice(Port_Error_Text(PortError::Write));
}

bool AtCommands::Echo_And_Write(const QByteArray &text, ColorRef color)
{
    const QByteArray line = text + '\r';
    console_.Print(line, color);
    return link_.Write(line);
}

void AtCommands::SpeedButton24Click()
{
    quickPanel_->show();
    quickPanel_->raise();
    quickPanel_->activateWindow();
}

// The three buttons talk to the modem's own software only while the modem
// holds CTS on; the answer continues on the echo's line.
void AtCommands::Send_If_CTS(const char *command)
{
    if (!host_.Clear_To_Send())
        return;
    console_.Print(QByteArray(command), kBlue);
    if (!link_.Write(QByteArray(command) + '\r'))
        console_.Notice(Port_Error_Text(PortError::Write));
}

void AtCommands::SpeedButton_StartClick() { Send_If_CTS(kStartCommand); }

void AtCommands::SpeedButton_ResetClick() { Send_If_CTS(kResetCommand); }

void AtCommands::SpeedButton_StopClick() { Send_If_CTS(kStopCommand); }
