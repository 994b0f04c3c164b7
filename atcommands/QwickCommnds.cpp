#include "atcommands/QwickCommnds.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace {

constexpr int kRowPitch = 24;
constexpr int kButtonWidth = 113, kWideButtonWidth = 227;
constexpr int kDescriptionWidth = 209, kNarrowDescriptionWidth = 97;

}  // namespace

TForm8::TForm8(QWidget *parent, std::function<void(const QByteArray &)> send) : QDialog(parent), send_(std::move(send))
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("Панель быстрых команд"));
    setFixedSize(351, 540);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // The main window's typewriter face, a size smaller, so that the longest
    // caption fits its button beside the glyph.
    QFont bold = parent->font();
    bold.setPixelSize(10);
    bold.setBold(true);
    const QPixmap glyph = QApplication::style()->standardIcon(QStyle::SP_ArrowRight).pixmap(14, 14);
    for (int row = 0; row < kQuickRows; ++row) {
        const QuickCommand &command = kQuickCommands[row];
        const int y = 6 + row * kRowPitch;
        const int width = command.Wide ? kWideButtonWidth : kButtonWidth;
        // The caption is shown as designed, its "&" marking a shortcut letter;
        // what is sent comes from the table.
        QPushButton *button = Button[row] = new QPushButton(QString::fromLatin1(command.Caption), this);
        button->setObjectName(QString::fromLatin1(command.Button));
        button->setGeometry(6, y, width, 22);
        button->setFont(bold);
        button->setStyleSheet(QStringLiteral("text-align: left; padding-left: 4px; padding-right: 20px;"));
        button->setFocusPolicy(Qt::NoFocus);
        auto *mark = new QLabel(button);
        mark->setPixmap(glyph);
        mark->setGeometry(width - 19, 4, 14, 14);
        mark->setAttribute(Qt::WA_TransparentForMouseEvents);
        if (command.Hand_Cursor)
            button->setCursor(Qt::PointingHandCursor);
        connect(button, &QPushButton::clicked, this, [this, row] { Quick_Send(row); });

        QLineEdit *field = Description[row] = new QLineEdit(QString::fromUtf8(command.Description), this);
        field->setObjectName(QStringLiteral("Edit%1").arg(row + 1));
        field->setGeometry(6 + width + 6, y, command.Wide ? kNarrowDescriptionWidth : kDescriptionWidth, 22);
        field->setReadOnly(!command.Description_Editable);
        field->setStyleSheet(command.Description_Editable ? QStringLiteral("background-color: #C8E6FF;")
                                                          : QStringLiteral("background-color: #C8F5C8;"));
        field->setCursorPosition(0);
    }
}

void TForm8::Quick_Send(int row) { send_(QByteArray(kQuickCommands[row].Sent)); }

void TForm8::mouseDoubleClickEvent(QMouseEvent *e)
{
    QDialog::mouseDoubleClickEvent(e);
    hide();
}
