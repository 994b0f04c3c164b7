#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "mainwindow/AsciiViewLines.h"
#include "mainwindow/GlyphStrips.h"
#include "mainwindow/OutCHARinASCII.h"
#include "mainwindow/ScreenGeometry.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "support/TestSupport.h"

namespace {

// True when anything but the background is drawn in the 8 x 12 cell.
bool Ink(const TForm1 &form, int x, int y, QRgb *color = nullptr)
{
    const QRgb back = Color_Ref_To_Rgb(form.Screen_Back_Color);
    for (int dy = 0; dy < kLineHeight; ++dy)
        for (int dx = 0; dx < kCellWidth; ++dx)
            if (const QRgb p = form.Screen_Image.pixel(x + dx, y + dy); p != back) {
                if (color)
                    *color = p;
                return true;
            }
    return false;
}

void Print(TForm1 &form, const QByteArray &bytes, ColorRef color = kBlack) { form.Print_To_Screen(bytes, color); }

}  // namespace

TEST(ScreenGeometry, NewLineMovesScrollsAndWraps)
{
    int x = 40, y = 0;
    EXPECT_EQ(New_Line_Step(x, y), NewLineEffect::Moved);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 12);
    y = 288;
    EXPECT_EQ(New_Line_Step(x, y), NewLineEffect::Moved);
    EXPECT_EQ(New_Line_Step(x, y), NewLineEffect::Scrolled);  // from row 25 on the view follows
    EXPECT_EQ(y, 312);
    y = kLastRowY;
    x = 100;
    EXPECT_EQ(New_Line_Step(x, y), NewLineEffect::Cleared);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);

    x = 0;
    Back_Space_Step(x);
    EXPECT_EQ(x, 0);
    x = 16;
    Back_Space_Step(x);
    EXPECT_EQ(x, 8);

    EXPECT_EQ(Blink_Position(384, 24).y, 36);
    EXPECT_EQ(Blink_Position(384, 24).x, 0);
    EXPECT_EQ(Blink_Position(384, kLastRowY).y, 0);
    EXPECT_EQ(Blink_Position(16, 24).x, 16);
}

TEST(ScreenPrint, RowsWrapAtFortyEightAndTheCursorWaitsAtTheEdge)
{
    Application app;
    TForm1 &f = *app.form;
    Print(f, QByteArray(48, 'W'));
    EXPECT_EQ(f.Cursor_X, 384);
    EXPECT_EQ(f.Cursor_Y, 0);
    EXPECT_TRUE(Ink(f, 376, 0));
    EXPECT_FALSE(Ink(f, 0, 12));

    // The blink shows the cursor at the start of the next row: first an erase, then green.
    f.Timer_CursorTimer();
    f.Timer_CursorTimer();
    EXPECT_EQ(f.Screen_Image.pixel(1, 12), qRgb(0, 128, 0));
    EXPECT_EQ(f.Screen_Image.pixel(2, 23), qRgb(0, 128, 0));
    f.Timer_CursorTimer();
    EXPECT_EQ(f.Screen_Image.pixel(1, 12), Color_Ref_To_Rgb(f.Screen_Back_Color));

    Print(f, "X");
    EXPECT_EQ(f.Cursor_X, 8);
    EXPECT_EQ(f.Cursor_Y, 12);
    EXPECT_TRUE(Ink(f, 0, 12));
}

TEST(ScreenPrint, CarriageReturnLineFeedAndBackspace)
{
    Application app;
    TForm1 &f = *app.form;
    const QByteArray five("12\r\n3");
    Print(f, five);
    EXPECT_TRUE(Ink(f, 0, 0));
    EXPECT_TRUE(Ink(f, 8, 0));
    EXPECT_FALSE(Ink(f, 16, 0));
    EXPECT_TRUE(Ink(f, 0, 12));
    EXPECT_EQ(f.Cursor_X, 8);
    EXPECT_EQ(f.Cursor_Y, 12);
    EXPECT_TRUE(app.Work_Char_Log().endsWith(five));

    Print(f, "\n\n");  // a lone line feed moves nothing
    EXPECT_EQ(f.Cursor_X, 8);
    EXPECT_EQ(f.Cursor_Y, 12);

    f.Clear_Screen();
    Print(f, "\b");
    EXPECT_EQ(f.Cursor_X, 0);
    Print(f, "|");
    const QImage bar = f.Screen_Image.copy(0, 0, 8, 12);
    Print(f, "\b");
    EXPECT_EQ(f.Cursor_X, 0);
    EXPECT_EQ(f.Screen_Image.copy(0, 0, 8, 12), bar);  // backspace erases nothing
    Print(f, "_");
    EXPECT_NE(f.Screen_Image.copy(0, 0, 8, 12), bar);  // the next character overdraws
}

TEST(ScreenPrint, ReturnOnTheLastRowClearsAndScrollingFollowsFromRowTwentyFive)
{
    Application app;
    TForm1 &f = *app.form;
    QScrollBar *bar = f.ScrollBox1->verticalScrollBar();
    Print(f, QByteArray(25, '\r'));
    EXPECT_EQ(f.Cursor_Y, 300);
    EXPECT_EQ(bar->value(), 0);
    Print(f, "\r\r");
    EXPECT_EQ(bar->value(), 24);

    Print(f, "A");
    f.Cursor_X = 40;
    f.Cursor_Y = kLastRowY;
    Print(f, "Z");
    EXPECT_TRUE(Ink(f, 40, kLastRowY));
    Print(f, "\r");
    EXPECT_EQ(f.Cursor_X, 0);
    EXPECT_EQ(f.Cursor_Y, 0);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_FALSE(Ink(f, 40, kLastRowY));
    EXPECT_FALSE(Ink(f, 0, 300));
    Print(f, "Q");
    EXPECT_TRUE(Ink(f, 0, 0));
}

TEST(ScreenPrint, ControlAndCyrillicBytesTakeACellInTheirColour)
{
    Application app;
    TForm1 &f = *app.form;
    Print(f, QByteArray("\x07\x1b", 2));
    EXPECT_EQ(f.Cursor_X, 16);
    f.Clear_Screen();
    QRgb ink = 0;
    Print(f, Cp("Ж"), kBlue);
    ASSERT_TRUE(Ink(f, 0, 0, &ink));
    EXPECT_GT(qBlue(ink), qRed(ink));  // blue text, not black
    Print(f, "M", kRed);
    ASSERT_TRUE(Ink(f, 8, 0, &ink));
    EXPECT_GT(qRed(ink), qBlue(ink));
}

TEST(AsciiView, LinesAndTheLimitCountedLineByLine)
{
    EXPECT_EQ(Ascii_View_Line(65), QString("65  A"));
    EXPECT_EQ(Ascii_View_Line(200), QString::fromUtf8("200  И"));
    EXPECT_EQ(Ascii_View_Line(13).left(4), QString("13  "));
    EXPECT_EQ(Ascii_View_Line(13).size(), 5);

    auto b = Ascii_View_Batch(0, 16383);
    EXPECT_FALSE(b.cleared);
    EXPECT_EQ(b.linesAfter, 16383u);
    b = Ascii_View_Batch(0, 16384);
    EXPECT_TRUE(b.cleared);
    EXPECT_EQ(b.linesAfter, 0u);
    b = Ascii_View_Batch(16000, 65536);
    EXPECT_TRUE(b.cleared);
    EXPECT_EQ(b.firstKept, 65536u - (16000 + 65536) % 16384);
    EXPECT_EQ(b.linesAfter, (16000u + 65536u) % 16384);
}

TEST(AsciiView, FedByEveryPrintedByteAndClearedAtTheLimitOrByDoubleClick)
{
    Application app;
    TForm4 *view = app.form->Form4;
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->isVisible());
    Print(*app.form, Cp("AИ\r"));
    ASSERT_EQ(view->Line_Count(), 3);
    EXPECT_EQ(view->Line(0), QString("65  A"));
    EXPECT_EQ(view->Line(1), QString::fromUtf8("200  И"));
    view->show();  // what came while it was hidden is there when it opens
    EXPECT_EQ(view->Memo1->document()->blockCount(), 3);
    EXPECT_EQ(view->Memo1->document()->findBlockByNumber(2).text(), QString("13  ") + QChar(0x240D));

    Print(*app.form, QByteArray(16384 - 3, 'x'));
    EXPECT_EQ(view->Line_Count(), 0);
    EXPECT_TRUE(view->Memo1->toPlainText().isEmpty());
    Print(*app.form, "y");
    EXPECT_EQ(view->Line_Count(), 1);
    EXPECT_EQ(view->Line(0), QString("121  y"));

    view->hide();
    Print(*app.form, QByteArray(70000, 'z'));
    EXPECT_EQ(view->Line_Count(), int((1 + 70000) % 16384));
    EXPECT_EQ(view->Line(view->Line_Count() - 1), QString("122  z"));
    view->show();
    EXPECT_EQ(view->Memo1->document()->blockCount(), view->Line_Count());
    EXPECT_EQ(view->Line(0), QString("122  z"));
    Print(*app.form, "A");  // and an open view takes new lines within a moment
    EXPECT_EQ(view->Line(view->Line_Count() - 1), QString("65  A"));
    EXPECT_TRUE(Wait_Until([&] { return view->Memo1->document()->lastBlock().text() == "65  A"; }, 1000));
    EXPECT_EQ(view->Memo1->document()->blockCount(), view->Line_Count());

    const QImage screen = app.form->Screen_Image.copy();
    QTest::mouseDClick(view->Memo1->viewport(), Qt::LeftButton);
    EXPECT_EQ(view->Line_Count(), 0);
    EXPECT_TRUE(view->Memo1->toPlainText().isEmpty());
    EXPECT_EQ(app.form->Screen_Image, screen);  // the terminal keeps what it shows
}

TEST(ScreenPrint, AFullDiskIsReportedOnceAndTheScreenGoesOn)
{
    Application app;
    TForm1 &f = *app.form;
    f.WorkChar_Log.close();
    f.WorkChar_Log.setFileName("/dev/full");
    ASSERT_TRUE(f.WorkChar_Log.open(QIODevice::WriteOnly));
    Print(f, "abc");
    Print(f, "def");
    EXPECT_EQ(f.Cursor_X, 48);
    EXPECT_TRUE(Ink(f, 40, 0));
    Pump(50);
    EXPECT_EQ(app.catcher.errors().size(), 1);
    EXPECT_TRUE(app.catcher.messages().isEmpty());
}
