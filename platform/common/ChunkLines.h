// Cuts bytes read in chunks into lines: a line ends at LF,
// a CR right before the LF is part of the line end, and a last line without an
// end still counts. Lets a file be read a chunk at a time, never whole.
#pragma once

#include <cstring>
#include <string>

namespace dravik {

class ChunkLines {
public:
    // Calls onLine(const char *begin, std::size_t count) for every line that ends
    // in this chunk.
    template <class OnLine> void Feed(const char *data, std::size_t size, OnLine &&onLine) {
        const char *at = data;
        const char *end = data + size;
        while (at < end) {
            auto *lf = static_cast<const char *>(std::memchr(at, '\n', end - at));
            if (lf == nullptr) {
                pending_.append(at, end);
                return;
            }
            if (pending_.empty()) {
                onLine(at, WithoutCr(at, static_cast<std::size_t>(lf - at)));
            } else {
                pending_.append(at, lf);
                onLine(pending_.data(), WithoutCr(pending_.data(), pending_.size()));
                pending_.clear();
            }
            at = lf + 1;
        }
    }

    // The last line, when the data did not end with a line end.
    template <class OnLine> void Finish(OnLine &&onLine) {
        if (!pending_.empty())
            onLine(pending_.data(), pending_.size());
        pending_.clear();
    }

private:
    static std::size_t WithoutCr(const char *line, std::size_t count) {
        return count > 0 && line[count - 1] == '\r' ? count - 1 : count;
    }

    std::string pending_; // the start of a line whose end is in a later chunk
};

} // namespace dravik
