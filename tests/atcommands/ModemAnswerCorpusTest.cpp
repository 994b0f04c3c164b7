// The answer reader against exchanges as modems print them
// (tests/data/ModemAnswers.txt): however the bytes are cut into chunks, each
// answer ends exactly where it ends, and the unsolicited lines are reported
// in their order.

#include <gtest/gtest.h>

#include <QFile>

#include "atcommands/ModemAnswer.h"

namespace {

struct Step {
    QByteArray Command, Bytes;
    qsizetype End = -1;  // bytes up to the answer's end
    QList<QByteArray> Unsolicited;
};

struct Exchange {
    QByteArray Title;
    QList<Step> Steps;
};

// C escapes, and "\|" marks the answer's end.
QByteArray Unescape(const QByteArray &text, qsizetype *end = nullptr)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'x') {
            out += char(text.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else if (c == '|' && end) {
            *end = out.size();
        } else {
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
        }
    }
    return out;
}

QList<Exchange> Read_Corpus()
{
    QFile file(QStringLiteral(VEXA_SOURCE_DIR "/tests/data/ModemAnswers.txt"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QList<Exchange> corpus;
    for (QByteArray line : file.readAll().split('\n')) {
        const QByteArray body = line.mid(2);
        if (line.startsWith("= ")) {
            corpus.append({body, {}});
        } else if (line.startsWith("> ")) {
            corpus.last().Steps.append({Unescape(body), {}, -1, {}});
        } else if (line.startsWith("< ")) {
            Step &step = corpus.last().Steps.last();
            qsizetype end = -1;
            const QByteArray bytes = Unescape(body, &end);
            if (end >= 0)
                step.End = step.Bytes.size() + end;
            step.Bytes += bytes;
        } else if (line.startsWith("! ")) {
            corpus.last().Steps.last().Unsolicited.append(Unescape(body));
        }
    }
    return corpus;
}

// The reader after the steps before `step` arrived whole, and the command
// of `step` went out.
Answer_Watch Before(const Exchange &exchange, qsizetype step)
{
    Answer_Watch watch;
    for (qsizetype i = 0; i < step; ++i) {
        watch.Expect(exchange.Steps[i].Command);
        watch.Feed(exchange.Steps[i].Bytes);
    }
    watch.Expect(exchange.Steps[step].Command);
    return watch;
}

}  // namespace

TEST(ModemAnswerCorpus, EveryAnswerEndsExactlyWhereItEndsHoweverItIsCut)
{
    const QList<Exchange> corpus = Read_Corpus();
    EXPECT_GE(corpus.size(), 40);
    for (const Exchange &exchange : corpus) {
        for (qsizetype s = 0; s < exchange.Steps.size(); ++s) {
            const Step &step = exchange.Steps[s];
            SCOPED_TRACE(exchange.Title.toStdString() + " / " + step.Command.toStdString());
            ASSERT_GE(step.End, 0) << "no end marked";

            Answer_Watch whole = Before(exchange, s);
            const QList<Answer_Line> lines = whole.Feed(step.Bytes);
            QList<QByteArray> unsolicited;
            for (const Answer_Line &line : lines)
                if (line.Kind == Line_Kind::Unsolicited)
                    unsolicited.append(line.Text);
            EXPECT_EQ(unsolicited, step.Unsolicited);

            // The first count of bytes after which the reader is wrong about the end.
            qsizetype wrong = -1;
            Answer_Watch bytewise = Before(exchange, s);
            QList<Answer_Line> seen;
            for (qsizetype at = 1; at <= step.Bytes.size(); ++at) {
                seen += bytewise.Feed(step.Bytes.mid(at - 1, 1));
                if (wrong < 0 && bytewise.Answered() != (at >= step.End))
                    wrong = at;
            }
            EXPECT_EQ(wrong, -1) << "ended at " << step.End;
            EXPECT_EQ(seen, lines);

            for (qsizetype cut = 0; cut <= step.Bytes.size(); ++cut) {
                Answer_Watch split = Before(exchange, s);
                QList<Answer_Line> parts = split.Feed(step.Bytes.left(cut));
                const bool ended = split.Answered();
                parts += split.Feed(step.Bytes.mid(cut));
                if (ended != (cut >= step.End) || parts != lines) {
                    ADD_FAILURE() << "cut at " << cut;
                    break;
                }
            }
        }
    }
}
