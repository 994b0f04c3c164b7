#pragma once

#include <string>

namespace vexa::modemsim {

// A symlink that gives the modem's port a stable, findable name, removed
// again when the object goes.
class PortLink {
public:
    PortLink() = default;
    PortLink(PortLink &&other) noexcept;
    PortLink &operator=(PortLink &&) = delete;
    PortLink(const PortLink &) = delete;
    ~PortLink();

    // Links `path` to `target`. A stale link left by a killed run (one whose
    // target is gone) is replaced; anything else already there is an error.
    static PortLink create(const std::string &path, const std::string &target, std::string &error);

    // Links the first free `<prefix><n>`, n in 0..count-1, where port pickers
    // look (e.g. /dev/ttyV). Returns an empty PortLink when none could be made.
    static PortLink createInFamily(const std::string &prefix, int count, const std::string &target, std::string &error);

    const std::string &path() const { return path_; }
    bool valid() const { return !path_.empty(); }

private:
    PortLink(std::string path, std::string target);

    std::string path_;
    std::string target_;
};

}  // namespace vexa::modemsim
