#include "platform/PortLock.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace vexa {
namespace {

const std::vector<std::string> kUsualFolders = {"/var/lock",       "/run/lock",        "/var/spool/lock",
                                                "/var/spool/uucp", "/usr/spool/locks", "/usr/spool/uucp",
                                                "/etc/locks"};

// A lock file that says nothing readable may be one being written this
// moment; only an older one is left over.
constexpr std::time_t kUnreadableGraceSeconds = 2;

std::mutex gFoldersMutex;
std::vector<std::string> gFolders;

std::string Real_Path(const std::string &path)
{
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) ? std::string(real) : path;
}

std::string Read_File(const std::string &path, std::size_t limit)
{
    std::ifstream in(path, std::ios::binary);
    std::string text(limit, '\0');
    in.read(&text[0], static_cast<std::streamsize>(limit));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

bool Alive(int pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

// Whether the lock file at path is held by a living program; a left-over
// one is removed.
bool Held(const std::string &path, PortHolder &holder)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    const int pid = Lock_File_Pid(Read_File(path, 64));
    if (pid > 0 && Alive(pid)) {
        holder = {pid, Program_Name(pid)};
        return true;
    }
    if (pid == 0 && std::time(nullptr) - st.st_mtime < kUnreadableGraceSeconds) {
        holder = {};
        return true;
    }
    ::unlink(path.c_str());
    return false;
}

bool Held_In_Any_Folder(const std::string &name, PortHolder &holder)
{
    for (const std::string &folder : Lock_Folders())
        if (Held(folder + "/" + name, holder))
            return true;
    return false;
}

// Writes our lock file under a name of its own, then links it to the lock
// name, which fails when the lock name exists: no other program ever reads
// a lock file half written.
enum class Placed { Ours, Taken, Impossible };

Placed Place(const std::string &folder, const std::string &lockPath)
{
    static std::atomic<unsigned> serial{0};
    const std::string draft = folder + "/LTMP." + std::to_string(::getpid()) + "." + std::to_string(serial++);
    const int fd = ::open(draft.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return Placed::Impossible;
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
    const bool written = ::write(fd, text, static_cast<std::size_t>(length)) == length;
    ::close(fd);
    const bool linked = written && ::link(draft.c_str(), lockPath.c_str()) == 0;
    const int error = errno;
    ::unlink(draft.c_str());
    if (linked)
        return Placed::Ours;
    return written && error == EEXIST ? Placed::Taken : Placed::Impossible;
}

}  // namespace

std::vector<std::string> Lock_Folders()
{
    std::lock_guard<std::mutex> lock(gFoldersMutex);
    return gFolders.empty() ? kUsualFolders : gFolders;
}

void Set_Lock_Folders(std::vector<std::string> folders)
{
    std::lock_guard<std::mutex> lock(gFoldersMutex);
    gFolders = std::move(folders);
}

std::string Lock_File_Name(const std::string &devicePath)
{
    static const std::string kDev = "/dev/";
    std::string name;
    if (devicePath.compare(0, kDev.size(), kDev) == 0)
        name = devicePath.substr(kDev.size());
    else
        name = devicePath.substr(devicePath.find_last_of('/') + 1);
    for (char &c : name)
        if (c == '/')
            c = '_';
    return "LCK.." + name;
}

int Lock_File_Pid(const std::string &content)
{
    std::size_t begin = 0, end = content.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(content[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(content[end - 1])))
        --end;
    const std::string digits = content.substr(begin, end - begin);
    const bool ascii =
        !digits.empty() && digits.size() <= 10 && digits.find_first_not_of("0123456789") == std::string::npos;
    if (ascii) {
        const long long pid = std::stoll(digits);
        return pid > 0 && pid <= INT_MAX ? static_cast<int>(pid) : 0;
    }
    if (content.size() == sizeof(std::int32_t)) {
        std::int32_t pid = 0;
        std::memcpy(&pid, content.data(), sizeof pid);
        return pid > 0 ? pid : 0;
    }
    return 0;
}

std::string Program_Name(int pid)
{
    std::string name = Read_File("/proc/" + std::to_string(pid) + "/comm", 64);
    while (!name.empty() && (name.back() == '\n' || name.back() == '\0'))
        name.pop_back();
    return name;
}

bool Lock_File_Held(const std::string &devicePath, PortHolder &holder)
{
    return Held_In_Any_Folder(Lock_File_Name(Real_Path(devicePath)), holder);
}

PortHolder Program_Holding(const std::string &devicePath)
{
    const std::string real = Real_Path(devicePath);
    struct stat device {};
    if (::stat(real.c_str(), &device) != 0)
        return {};
    // Lines such as "1: FLOCK  ADVISORY  WRITE 1234 00:05:87 0 EOF"; a
    // waiter's line has "->" after the number.
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, advice, mode, where;
        int pid = 0;
        fields >> number >> kind >> advice >> mode >> pid >> where;
        unsigned high = 0, low = 0;
        unsigned long long inode = 0;
        if (kind != "FLOCK" || pid <= 0 || std::sscanf(where.c_str(), "%x:%x:%llu", &high, &low, &inode) != 3)
            continue;
        if (high == major(device.st_dev) && low == minor(device.st_dev) && inode == device.st_ino)
            return {pid, Program_Name(pid)};
    }
    DIR *processes = ::opendir("/proc");
    if (!processes)
        return {};
    PortHolder found;
    while (dirent *entry = ::readdir(processes)) {
        const int pid = std::atoi(entry->d_name);
        const std::string fds = "/proc/" + std::string(entry->d_name) + "/fd";
        DIR *open = pid > 0 ? ::opendir(fds.c_str()) : nullptr;
        if (!open)
            continue;
        while (dirent *fd = ::readdir(open)) {
            char target[PATH_MAX];
            const ssize_t n = ::readlink((fds + "/" + fd->d_name).c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == real) {
                found = {pid, Program_Name(pid)};
                break;
            }
        }
        ::closedir(open);
        if (found.pid != 0)
            break;
    }
    ::closedir(processes);
    return found;
}

bool DeviceLockFile::Take(const std::string &devicePath, PortHolder &holder)
{
    Release();
    const std::string name = Lock_File_Name(Real_Path(devicePath));
    if (Held_In_Any_Folder(name, holder))
        return false;
    for (const std::string &folder : Lock_Folders()) {
        if (::access(folder.c_str(), W_OK) != 0)
            continue;
        const std::string path = folder + "/" + name;
        switch (Place(folder, path)) {
        case Placed::Ours: path_ = path; return true;
        case Placed::Taken:  // another program was quicker, or one just left it over
            if (Held(path, holder))
                return false;
            if (Place(folder, path) == Placed::Ours) {
                path_ = path;
                return true;
            }
            return !Held(path, holder);
        case Placed::Impossible: break;
        }
    }
    return true;
}

void DeviceLockFile::Release()
{
    if (path_.empty())
        return;
    if (Lock_File_Pid(Read_File(path_, 64)) == ::getpid())
        ::unlink(path_.c_str());
    path_.clear();
}

}  // namespace vexa
