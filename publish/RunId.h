// Each run of DravikPublish, a rollback too, has an id of its own that no other run,
// on this server or another, ever had: it names the run's publication mark in the
// record file and its files on the server.
#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <string>

namespace dravik::publish {

// 32 hex digits of randomness, then the time in milliseconds, in hex.
inline std::wstring NewRunId() {
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::random_device entropy;
    std::wstring id;
    for (int word = 0; word < 4; ++word) {
        const std::uint32_t bits = entropy();
        for (int shift = 28; shift >= 0; shift -= 4)
            id += kHex[(bits >> shift) & 0xF];
    }
    id += L'-';
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    std::wstring time;
    for (auto value = static_cast<std::uint64_t>(ms); value != 0; value >>= 4)
        time.insert(time.begin(), kHex[value & 0xF]);
    return id + (time.empty() ? L"0" : time);
}

} // namespace dravik::publish
