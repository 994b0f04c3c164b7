#pragma once

#include <string>

namespace vexa::modemsim {

// Writes received images as <dir>/vexa-sim-image-NNN.bin, NNN counting up
// from 001 past the files already there, so earlier downloads are never
// overwritten.
class ImageStore {
public:
    explicit ImageStore(std::string dir) : dir_(std::move(dir)) {}

    // Returns the new file's path. Throws std::system_error.
    std::string save(const std::string &image);

private:
    std::string dir_;
    int next_ = 1;
};

}  // namespace vexa::modemsim
