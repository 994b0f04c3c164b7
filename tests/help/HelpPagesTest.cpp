#include <gtest/gtest.h>

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QTest>
#include <QUrl>
#include <QDir>
#include <QFile>

#include "mainwindow/GlyphStrips.h"
#include "mainwindow/OutCHARinASCII.h"
#include "mainwindow/ScreenGeometry.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "support/TestSupport.h"

namespace {

void Write_Page(const Application &app, const char *name, const QByteArray &bytes)
{
    QDir().mkpath(app.start.file("Menu/Contane"));
    QFile file(app.start.file(QStringLiteral("Menu/Contane/") + QLatin1String(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The darkest pixel drawn in the cell (the glyph's own colour, not an
// anti-aliased edge), or nothing when the cell is blank.
std::optional<QRgb> Ink(const TForm1 &form, int x, int y)
{
    const QRgb back = Color_Ref_To_Rgb(form.Screen_Back_Color);
    std::optional<QRgb> darkest;
    for (int dy = 0; dy < kLineHeight; ++dy)
        for (int dx = 0; dx < kCellWidth; ++dx)
            if (const QRgb p = form.Screen_Image.pixel(x + dx, y + dy); p != back)
                if (!darkest || qGray(p) < qGray(*darkest))
                    darkest = p;
    return darkest;
}

}  // namespace

TEST(HelpPages, PageShowsARedHeadingThenTheTextLineByLine)
{
    Application app;
    Write_Page(app, "COM.atm", Cp("Порт\r\nСкорость\r\n"));
    app.form->Print_To_Screen(QByteArray("junk"), kBlack);
    app.form->findChild<QAction *>("COM1")->trigger();
    EXPECT_TRUE(app.catcher.messages().isEmpty());
    const auto heading = Ink(*app.form, 0, 0);
    ASSERT_TRUE(heading);
    EXPECT_GT(qRed(*heading), 150);
    EXPECT_LT(qBlue(*heading), 100);
    const auto text = Ink(*app.form, 0, 12);
    ASSERT_TRUE(text);
    EXPECT_LT(qRed(*text) + qGreen(*text) + qBlue(*text), 200);  // black
    EXPECT_TRUE(Ink(*app.form, 0, 24));
    EXPECT_FALSE(Ink(*app.form, 0, 36));
    EXPECT_EQ(app.form->Cursor_Y, 36);
    // Heading, its CR and the page all pass through the log and the ASCII view.
    const QByteArray heading1251 = Cp("***НАСТРОЙКИ COM ПОРТА***\r");
    EXPECT_TRUE(app.Work_Char_Log().endsWith(heading1251 + Cp("Порт\r\nСкорость\r\n")));
    EXPECT_EQ(app.form->Form4->Line_Count(), 4 + heading1251.size() + 16);
}

TEST(HelpPages, LineFeedOnlyRunsTogetherAndAnEmptyPageShowsTheHeadingAlone)
{
    Application app;
    Write_Page(app, "ATLogs.atm", QByteArray("aaaa\nbbbb\n"));
    app.form->N8Click();
    EXPECT_EQ(app.form->Cursor_Y, 12);
    EXPECT_EQ(app.form->Cursor_X, 64);  // eight letters on one row

    Write_Page(app, "Avtor.atm", QByteArray());
    app.form->N3Click();
    EXPECT_EQ(app.form->Cursor_Y, 12);
    EXPECT_EQ(app.form->Cursor_X, 0);
    EXPECT_TRUE(Ink(*app.form, 0, 0));
    EXPECT_TRUE(app.catcher.messages().isEmpty());
}

TEST(HelpPages, AMissingPageLeavesAClearedScreenAndSaysSo)
{
    Application app;
    app.form->Print_To_Screen(QByteArray("something"), kBlack);
    QDir::setCurrent(QDir::tempPath());  // a file dialog moved the current folder
    app.form->N9Click();
    EXPECT_EQ(app.catcher.messages(), QStringList({QString::fromUtf8("Нету файла с информацией")}));
    EXPECT_FALSE(Ink(*app.form, 0, 0));
    EXPECT_EQ(QDir::currentPath(), app.start.path());
}

TEST(HelpPages, EveryShippedPageFitsTheScreenAndIsCp1251WithCrLf)
{
    const QDir pages(QStringLiteral(VEXA_SOURCE_DIR "/data/Menu/Contane"));
    const QStringList names = {"Naznach.atm",  "Avtor.atm",      "COM.atm",       "ATcomm.atm", "ATList.atm",
                               "ATScript.atm", "ATFileSend.atm", "ATProgram.atm", "ATLogs.atm"};
    for (const QString &name : names) {
        QFile file(pages.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray bytes = file.readAll();
        ASSERT_FALSE(bytes.isEmpty());
        EXPECT_TRUE(bytes.endsWith("\r\n")) << name.toStdString();
        for (const QByteArray &line : bytes.split('\n')) {
            if (line.isEmpty())
                continue;
            EXPECT_TRUE(line.endsWith('\r')) << name.toStdString();
            EXPECT_LE(line.size() - 1, 48) << name.toStdString() << ": " << line.constData();
        }
    }
}

namespace {

class UrlCatcher : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl &url) { opened << url; }

public:
    QList<QUrl> opened;
};

}  // namespace

TEST(HelpPages, ClickingTheLogoOpensTheMakersAddress)
{
    Application app;
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    app.form->show();
    QTest::mouseClick(app.form->Image3, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("http");
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0], QUrl("http://vexa.example.org"));
    EXPECT_EQ(app.form->Image3->cursor().shape(), Qt::PointingHandCursor);
}

#include "HelpPagesTest.moc"
