// lrzsz's rx, an XMODEM receiver we did not write, takes Vexa's download on
// the master side of a real pseudo-terminal.

#include "xmodem/ProgrammingFixture.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void Write_All(int fd, const char *bytes, ssize_t count)
{
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, count);
        if (n > 0) {
            bytes += n, count -= n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        } else {
            pollfd out{fd, POLLOUT, 0};
            ::poll(&out, 1, 100);
        }
    }
}

// rx with its standard input and output on two pipes, which a thread joins
// to the pty's master side. rx flushes its terminal right after the last
// ACK; on a pty that flush would discard the ACK before Vexa has read it
// (a real UART has sent it by then), and pipes have no such flush. rx writes
// only into its current folder (absolute names are refused), so it runs in
// the file's folder.
class Rx {
public:
    Rx(int master, const QString &file) : master_(master)
    {
        ::signal(SIGPIPE, SIG_IGN);
        int toRx[2], fromRx[2];
        if (::pipe(toRx) != 0 || ::pipe(fromRx) != 0 || ::pipe(stop_) != 0)
            throw std::runtime_error("pipe failed");
        const QFileInfo target(file);
        const QByteArray folder = target.absolutePath().toLocal8Bit();
        const QByteArray name = target.fileName().toLocal8Bit();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(toRx[0], STDIN_FILENO);
            ::dup2(fromRx[1], STDOUT_FILENO);
            const int devNull = ::open("/dev/null", O_WRONLY);
            ::dup2(devNull, STDERR_FILENO);
            if (::chdir(folder.constData()) != 0)
                ::_exit(126);
            ::execl(VEXA_RX_PROGRAM, "rx", "-b", "-q", name.constData(), static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(toRx[0]);
        ::close(fromRx[1]);
        toRx_ = toRx[1];
        fromRx_ = fromRx[0];
        relay_ = std::thread([this] { Relay(); });
    }
    ~Rx()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        Write_All(stop_[1], "x", 1);
        relay_.join();
        for (int fd : {toRx_, fromRx_, stop_[0], stop_[1]})
            ::close(fd);
    }
    // rx's exit status once it has ended, -1 if it did not end in time.
    int Wait(int timeoutMs)
    {
        int status = 0;
        QElapsedTimer clock;
        clock.start();
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (clock.elapsed() > timeoutMs)
                return -1;
            Pump(10);
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    void Relay()
    {
        char buffer[4096];
        for (;;) {
            pollfd fds[3] = {{master_, POLLIN, 0}, {fromRx_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (::poll(fds, 3, -1) < 0 && errno != EINTR)
                return;
            if (fds[2].revents)
                return;
            if (fds[0].revents & POLLIN) {
                const ssize_t n = ::read(master_, buffer, sizeof buffer);
                if (n > 0)
                    Write_All(toRx_, buffer, n);
            }
            if (fds[1].revents & (POLLIN | POLLHUP)) {
                const ssize_t n = ::read(fromRx_, buffer, sizeof buffer);
                if (n <= 0)
                    return;  // rx has ended
                Write_All(master_, buffer, n);
            }
        }
    }

    int master_;
    int toRx_ = -1, fromRx_ = -1;
    int stop_[2] = {-1, -1};
    pid_t pid_ = -1;
    std::thread relay_;
};

class LrzszReceiver : public ProgrammingPageTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override { Open_Page(pty.slavePath()); }
    Pty pty;
};

TEST_P(LrzszReceiver, TakesTheFilePaddedWithSubstitutes)
{
    const int size = GetParam();
    const QByteArray content = Firmware_Bytes(size, unsigned(size));
    const QString source = Write_Firmware("firmware.bin", content);
    const QString received = app.start.file("received.bin");
    FieldHistory sent(fw.Edit9), total(fw.Edit10), repeats(fw.Edit11);

    Rx rx(pty.master(), received);
    ASSERT_TRUE(Wait_Until([&] { return fw.SpeedButton15->isVisible(); }, 10000));
    Flash(source);
    EXPECT_EQ(rx.Wait(20000), 0);
    ASSERT_TRUE(Wait_Until([&] { return Screen_Shows("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r"); }));

    EXPECT_EQ(Read_File(received), Padded(content));
    const QString blocks = QString::number((size + 127) / 128);
    EXPECT_EQ(sent.last(), blocks);
    EXPECT_EQ(total.last(), blocks);
    EXPECT_EQ(repeats.last(), "");
    EXPECT_TRUE(Screen_Shows("МОДЕМ ГОТОВ К ПРОШИВКЕ...\rНАЧАЛО ПРОШИВКИ\r"));
    EXPECT_FALSE(Screen_Shows("ПОВТОР"));
    Expect_Released();
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
}

// 33000 bytes are 258 blocks: the block number wraps from 255 to 0.
INSTANTIATE_TEST_SUITE_P(FileSizes, LrzszReceiver, ::testing::Values(1, 128, 129, 200, 256, 33000));

}  // namespace
