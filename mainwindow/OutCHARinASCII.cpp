#include "mainwindow/OutCHARinASCII.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>
#include <algorithm>

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

    refresh_ = new QTimer(this);
    refresh_->setSingleShot(true);
    refresh_->setInterval(kRefreshMs);
    connect(refresh_, &QTimer::timeout, this, [this] {
        if (isVisible())
            Show_Lines();
    });
}

void TForm4::Add_Bytes(const std::uint8_t *bytes, std::uint32_t count)
{
    if (count == 0)
        return;
    const AsciiViewBatch batch = Ascii_View_Batch(lines_, count);
    if (batch.cleared) {
        unshown_.clear();
        shownLines_ = 0;
        memoStale_ = true;
        if (isVisible())
            Show_Lines();  // emptied at once: clearing is cheap, the layout is not
    }
    lines_ = batch.linesAfter;
    if (batch.firstKept < count)
        unshown_.insert(unshown_.end(), bytes + batch.firstKept, bytes + count);
    if (isVisible() && !refresh_->isActive())
        refresh_->start();
}

// A refresh lays out at most kLinesPerRefresh lines, so that no turn of the
// window's loop waits long for the view; the rest follow on later turns.
void TForm4::Show_Lines()
{
    if (memoStale_)
        Memo1->clear();
    memoStale_ = false;
    if (unshown_.empty())
        return;
    QElapsedTimer took;
    took.start();
    const std::size_t count = std::min<std::size_t>(unshown_.size(), kLinesPerRefresh);
    QString text;
    text.reserve(static_cast<qsizetype>(count) * 8);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            text += QLatin1Char('\n');
        text += Ascii_View_Line(unshown_[i]);
    }
    Memo1->appendPlainText(text);
    shownLines_ += static_cast<std::uint32_t>(count);
    unshown_.erase(unshown_.begin(), unshown_.begin() + static_cast<std::ptrdiff_t>(count));
    // On a slow or busy machine the next refresh waits longer, so that the
    // view never takes more than a fifth of the main thread from reception.
    const qint64 pause = 4 * took.elapsed();
    if (unshown_.empty()) {
        refresh_->setInterval(static_cast<int>(std::max<qint64>(kRefreshMs, pause)));
        return;
    }
    refresh_->setInterval(static_cast<int>(std::max<qint64>(kSliceGapMs, pause)));
    refresh_->start();
}

// Opening the view shows every line at once: the user asked for them.
void TForm4::showEvent(QShowEvent *event)
{
    do
        Show_Lines();
    while (!unshown_.empty());
    QDialog::showEvent(event);
}

void TForm4::Memo1DblClick()
{
    Memo1->clear();
    lines_ = shownLines_ = 0;
    unshown_.clear();
    memoStale_ = false;
}

QString TForm4::Line(int index) const
{
    if (index >= 0 && std::uint32_t(index) >= shownLines_ && std::uint32_t(index) < lines_)
        return Ascii_View_Line(unshown_[index - shownLines_]);
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
