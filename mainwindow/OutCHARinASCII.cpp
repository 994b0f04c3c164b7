#include "mainwindow/OutCHARinASCII.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QTextBlock>

#include "mainwindow/AsciiViewLines.h"

TForm4::TForm4(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Отображение вводимой информации в ASCII rjlf["));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setFixedSize(115, 461);
    move(264, 197);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(-1, -2, 119, 465);
    Memo1->setReadOnly(true);
    Memo1->setUndoRedoEnabled(false);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    Memo1->setFont(font);
    Memo1->setStyleSheet(QStringLiteral("QPlainTextEdit { background: rgb(0,0,0); color: rgb(255,255,0); }"));
    Memo1->viewport()->installEventFilter(this);
}

void TForm4::Add_Bytes(const std::uint8_t *bytes, std::uint32_t count)
{
    if (count == 0)
        return;
    const AsciiViewBatch batch = Ascii_View_Batch(lines_, count);
    if (batch.cleared)
        Memo1->clear();
    lines_ = batch.linesAfter;
    if (batch.firstKept >= count)
        return;
    QString text;
    text.reserve(static_cast<qsizetype>(count - batch.firstKept) * 8);
    for (std::uint32_t i = batch.firstKept; i < count; ++i) {
        if (i > batch.firstKept)
            text += QLatin1Char('\n');
        text += Ascii_View_Line(bytes[i]);
    }
    Memo1->appendPlainText(text);
}

void TForm4::Memo1DblClick()
{
    Memo1->clear();
    lines_ = 0;
}

QString TForm4::Line(int index) const
{
    return Memo1->document()->findBlockByNumber(index).text();
}

bool TForm4::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Memo1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        Memo1DblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
