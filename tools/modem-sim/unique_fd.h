#pragma once

namespace vexa::modemsim {

// Owns a file descriptor and closes it once.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd &&other) noexcept;
    UniqueFd &operator=(UniqueFd &&other) noexcept;
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    ~UniqueFd();

    int get() const { return fd_; }

private:
    int fd_ = -1;
};

// Throws std::system_error built from errno when `result` is negative.
int checked(int result, const char *what);

}  // namespace vexa::modemsim
