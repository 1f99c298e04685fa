// Cuts bytes read in chunks into lines: a line ends at LF,
// a CR right before the LF is part of the line end, and a last line without an
// end still counts. Lets a file be read a chunk at a time, never whole.
#pragma once

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

namespace dravik {

class ChunkLines {
public:
    // Each line is handed on cut to its first `longestKept` bytes; the rest of a
    // longer line is passed over, never kept.
    explicit ChunkLines(std::size_t longestKept = std::numeric_limits<std::size_t>::max() - 1)
        : longestKept_(longestKept) {}

    // Calls onLine(const char *begin, std::size_t count) for every line that ends
    // in this chunk.
    template <class OnLine> void Feed(const char *data, std::size_t size, OnLine &&onLine) {
        const char *at = data;
        const char *end = data + size;
        while (at < end) {
            auto *lf = static_cast<const char *>(std::memchr(at, '\n', end - at));
            if (lf == nullptr) {
                Keep(at, end);
                return;
            }
            if (pending_.empty()) {
                onLine(at, Cut(WithoutCr(at, static_cast<std::size_t>(lf - at))));
            } else {
                Keep(at, lf);
                onLine(pending_.data(), Cut(WithoutCr(pending_.data(), pending_.size())));
                pending_.clear();
            }
            at = lf + 1;
        }
    }

    // The last line, when the data did not end with a line end.
    template <class OnLine> void Finish(OnLine &&onLine) {
        if (!pending_.empty())
            onLine(pending_.data(), Cut(pending_.size()));
        pending_.clear();
    }

private:
    // One byte past the longest kept, so that a CR there still counts as the line end.
    void Keep(const char *from, const char *to) {
        const std::size_t room = longestKept_ + 1 - std::min(pending_.size(), longestKept_ + 1);
        pending_.append(from, std::min(room, static_cast<std::size_t>(to - from)));
    }
    std::size_t Cut(std::size_t count) const { return std::min(count, longestKept_); }

    static std::size_t WithoutCr(const char *line, std::size_t count) {
        return count > 0 && line[count - 1] == '\r' ? count - 1 : count;
    }

    std::size_t longestKept_;
    std::string pending_; // the start of a line whose end is in a later chunk
};

// How many bytes of a file's beginning FirstLineOf needs to see its first line whole:
// the longest line kept, and a line end after it.
constexpr std::size_t FirstLineBytes(std::size_t longestKept) {
    return longestKept + 2;
}

// The first line of a file whose beginning is `head` (its first FirstLineBytes bytes,
// or the whole file when shorter), cut as ChunkLines cuts it; "" for an empty file.
inline std::string FirstLineOf(const std::string &head, std::size_t longestKept) {
    ChunkLines lines(longestKept);
    std::string first;
    bool found = false;
    auto take = [&](const char *begin, std::size_t count) {
        if (!found)
            first.assign(begin, count);
        found = true;
    };
    lines.Feed(head.data(), head.size(), take);
    lines.Finish(take);
    return first;
}

} // namespace dravik
