#include "support/TestSupport.h"

#include "platform/NoticeQueue.h"

#include <QComboBox>
#include <QLineEdit>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Cp1251.h"
#include "platform/Messages.h"

struct MessageCatcher::State {
    QStringList messages, errors, warnings, details;
};

MessageCatcher::MessageCatcher() : state_(std::make_shared<State>())
{
    auto state = state_;
    vexa::Set_Message_Sink([state](vexa::MessageKind kind, const QString &text) {
        switch (kind) {
        case vexa::MessageKind::Message: state->messages << text; break;
        case vexa::MessageKind::Error: state->errors << text; break;
        case vexa::MessageKind::Warning: state->warnings << text; break;
        case vexa::MessageKind::Detail: state->details << text; break;
        }
    });
}

MessageCatcher::~MessageCatcher() { vexa::Set_Message_Sink(nullptr); }
// Notices waiting in a queue are what the user is about to see: they count.
QStringList MessageCatcher::messages() const
{
    vexa::NoticeQueue::Show_All_Waiting();
    return state_->messages;
}
QStringList MessageCatcher::errors() const
{
    vexa::NoticeQueue::Show_All_Waiting();
    return state_->errors;
}
QStringList MessageCatcher::warnings() const { return state_->warnings; }
QStringList MessageCatcher::details() const
{
    vexa::NoticeQueue::Show_All_Waiting();
    return state_->details;
}
void MessageCatcher::clear()
{
    vexa::NoticeQueue::Show_All_Waiting();
    state_->messages.clear(), state_->errors.clear(), state_->warnings.clear(), state_->details.clear();
}

struct FileDialogAnswers::State {
    QStringList answers;
    QList<vexa::FileDialogRequest> requests;
};

FileDialogAnswers::FileDialogAnswers(QStringList answers) : state_(std::make_shared<State>())
{
    state_->answers = std::move(answers);
    auto state = state_;
    vexa::Set_File_Dialog_Sink([state](const vexa::FileDialogRequest &request) {
        state->requests << request;
        return state->answers.isEmpty() ? QString() : state->answers.takeFirst();
    });
}

FileDialogAnswers::~FileDialogAnswers() { vexa::Set_File_Dialog_Sink(nullptr); }
void FileDialogAnswers::add(const QString &answer) { state_->answers << answer; }
QList<vexa::FileDialogRequest> FileDialogAnswers::requests() const { return state_->requests; }

bool Wait_Until(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

void Pump(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

Pty::Pty()
{
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    slavePath_ = QString::fromLocal8Bit(name);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

Pty::~Pty()
{
    closeMaster();
    closeSlave();
}

void Pty::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            throw std::runtime_error("pty write failed");
        else {
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
    }
}

QByteArray Pty::read(int count, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < timeoutMs) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
            char buf[4096];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
        }
        QCoreApplication::processEvents();
    }
    return got;
}

QByteArray Pty::drain(int ms) { return read(1 << 30, ms); }

void Pty::closeMaster()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

void Pty::closeSlave()
{
    if (slave_ >= 0)
        ::close(slave_);
    slave_ = -1;
}

ScratchStart::ScratchStart() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }

ScratchStart::~ScratchStart() { QDir::setCurrent(previous_); }

namespace {

// A start folder as a newcomer's has it: the shipped autoload configuration
// (the command list is not loaded at start).
TForm1 *Create_In(const ScratchStart &start)
{
    QDir(start.path()).mkpath(QStringLiteral("Config/ATComm"));
    QFile::copy(QStringLiteral(VEXA_SOURCE_DIR "/data/Config/ATComm/ATList.nee"),
                start.file(QStringLiteral("Config/ATComm/ATList.nee")));
    return Create_Application_Forms();
}

}  // namespace

Application::Application() : form(Create_In(start)) {}

Application::~Application() { form.reset(); }

void Application::Pick_Port(const QString &name)
{
    QLineEdit *edit = form->ComboBox1->lineEdit();
    edit->selectAll();
    edit->insert(name);
}

QByteArray Application::Work_Char_Log() const
{
    QFile log(form->WorkChar_Log.fileName());
    log.open(QIODevice::ReadOnly);
    return log.readAll();
}

QByteArray Cp(const char *utf8) { return vexa::Cp1251_Encode(QString::fromUtf8(utf8)); }

void Write_File(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
}

QByteArray Read_File(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
