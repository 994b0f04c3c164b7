// vexa_transfer_partner: a second Vexa in a process of its own, for the tests
// that join two instances by a link whose buffers are small (a socat pty
// pair holds less than one data frame). In one process the two windows
// share one thread, and a frame written by one would wait for the other
// to read it.
//
//   vexa_transfer_partner PORT receive START_DIR INTERVAL_MS
//   vexa_transfer_partner PORT send FILE INTERVAL_MS
//
// It opens PORT on the file-transfer page with both intervals set, then
// accepts the first file announced (into START_DIR/ReseiveFile) or sends
// FILE, as its user would with the dialogs. Exit status: 0 when the file was
// stored or acknowledged to its end with no message box, 1 when a message
// appeared, 2 on time-out, 3 on bad arguments. It prints "ready" once its
// page is shown; messages go to stderr.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "atcommands/AutoloadConfig.h"
#include "mainwindow/PageControl.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/FileDialogs.h"
#include "platform/Messages.h"
#include "transfer/QweryFile.h"
#include "transfer/SendFile.h"

namespace {

constexpr int kTimeOutMs = 20000;
constexpr int kPollMs = 10;

}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5 || (args[2] != "receive" && args[2] != "send"))
        return 3;
    const bool receive = args[2] == "receive";
    const QString start = receive ? args[3] : QFileInfo(args[3]).absolutePath();
    QDir(start).mkpath("ReseiveFile");
    QDir(start).mkpath("Logs");
    QDir::setCurrent(start);
    // A newcomer's start folder: no command list is loaded at start.
    QDir(start).mkpath("Config/ATComm");
    QFile config(QString::fromLatin1(kAutoloadConfigPath));
    if (!config.open(QIODevice::WriteOnly) || config.write(Autoload_Off()) < 0)
        return 3;
    config.close();

    int status = 2;
    vexa::Set_Message_Sink([&](vexa::MessageKind, const QString &text) {
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        status = 1;
        app.exit(1);
    });
    const QString file = args[3];
    vexa::Set_File_Dialog_Sink([file](const vexa::FileDialogRequest &) { return file; });

    std::unique_ptr<TForm1> form(Create_Application_Forms());
    form->ComboBox1->lineEdit()->selectAll();
    form->ComboBox1->lineEdit()->insert(args[1]);
    form->Transfer->Packet_Interval = form->Transfer->Frame_Receive_Interval = args[4].toInt();
    form->PageControl1->setCurrentIndex(1);
    std::printf("ready\n");  // the port is open and purged: frames may come
    std::fflush(stdout);

    bool started = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (receive) {
            const ReceiveSession &r = form->Transfer->State.Receiver;
            if (r.State() == ReceiveSession::Phase::Asked)
                form->Form5->SpeedButton1->click();
            started = started || r.State() == ReceiveSession::Phase::Receiving;
            if (started && r.State() == ReceiveSession::Phase::Idle && r.Complete())
                app.exit(status = 0);
            return;
        }
        const SendSession &s = form->Transfer->State.Sender;
        started = started || s.State() == SendSession::Phase::Sending;
        if (started && s.State() == SendSession::Phase::Idle && !form->Form6->isVisible())
            app.exit(status = 0);  // the last frame was acknowledged
    });
    poll.start(kPollMs);
    QTimer::singleShot(kTimeOutMs, &app, [&] { app.exit(2); });
    if (!receive) {
        form->SpeedButton11->click();
        form->SpeedButton12->click();
    }
    app.exec();
    return status;
}
