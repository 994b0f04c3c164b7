#include "port_link.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vexa::modemsim {

namespace {

std::string readLink(const std::string &path)
{
    char buffer[4096];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(n));
}

// Frees `path` by removing a stale link left by a killed run (one whose
// target is gone). Returns 0 when free, else an errno value; EEXIST means
// something live is there.
int freeName(const std::string &path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return errno == ENOENT ? 0 : errno;
    if (!S_ISLNK(info.st_mode) || ::stat(path.c_str(), &info) == 0 || errno != ENOENT)
        return EEXIST;
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int makeLink(const std::string &path, const std::string &target)
{
    if (const int failure = freeName(path))
        return failure;
    return ::symlink(target.c_str(), path.c_str()) == 0 ? 0 : errno;
}

std::string linkError(const std::string &path, int failure)
{
    return "cannot create link " + path + ": " + std::strerror(failure);
}

}  // namespace

PortLink::PortLink(std::string path, std::string target) : path_(std::move(path)), target_(std::move(target)) {}

PortLink::PortLink(PortLink &&other) noexcept
    : path_(std::exchange(other.path_, {})), target_(std::exchange(other.target_, {}))
{
}

PortLink::~PortLink()
{
    // Leave the name alone if someone has since put something else there.
    if (valid() && readLink(path_) == target_)
        ::unlink(path_.c_str());
}

PortLink PortLink::create(const std::string &path, const std::string &target, std::string &error)
{
    if (const int failure = makeLink(path, target)) {
        error = linkError(path, failure);
        return PortLink();
    }
    return PortLink(path, target);
}

PortLink PortLink::createInFamily(const std::string &prefix, int count, const std::string &target, std::string &error)
{
    for (int n = 0; n < count; ++n) {
        const std::string path = prefix + std::to_string(n);
        const int failure = makeLink(path, target);
        if (failure == 0)
            return PortLink(path, target);
        // EEXIST: in use, or another process took the name first.
        if (failure != EEXIST) {
            error = linkError(path, failure);
            return PortLink();
        }
    }
    error = "all of " + prefix + "0.." + prefix + std::to_string(count - 1) + " are taken";
    return PortLink();
}

}  // namespace vexa::modemsim
