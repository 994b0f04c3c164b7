#include "image_store.h"

#include "unique_fd.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace vexa::modemsim {

namespace {

std::string numberedPath(const std::string &dir, int number)
{
    char name[32];
    std::snprintf(name, sizeof name, "vexa-sim-image-%03d.bin", number);
    return dir + "/" + name;
}

void writeAll(int fd, const std::string &data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            checked(-1, "write image");
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::string ImageStore::save(const std::string &image)
{
    for (;; ++next_) {
        const std::string path = numberedPath(dir_, next_);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST)
            continue;
        UniqueFd file(checked(fd, "create image file"));
        writeAll(file.get(), image);
        ++next_;
        return path;
    }
}

}  // namespace vexa::modemsim
