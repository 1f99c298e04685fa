// The parts of a launcher start, timed one by one.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "launcher/TrustedLocation.h"
#include "launcher/UpdateRecord.h"
#include "platform/SystemPlatform.h"
#include "platform/common/CodePage.h"
#include "tests/fake/FakePlatform.h"
#include "ui/frmDravikVT.h"

namespace {

using namespace dravik;
namespace fs = std::filesystem;

// A record file of `lines` lines on disk, the key looked up on its last line.
std::string RecordFile(long lines) {
    fs::path path = fs::temp_directory_path() / ("dravik-bench-" + std::to_string(lines) + ".txt");
    if (!fs::exists(path)) {
        std::ofstream out(path, std::ios::binary);
        char line[64];
        for (long i = 0; i < lines - 1; ++i) {
            int n =
                std::snprintf(line, sizeof line, "PC%05ld_user%06ld\t\t8.12.2026. - 9:15:%02ld\r\n",
                              i % 99999, i, i % 60);
            out.write(line, n);
        }
        out << "PC07_ana\t\t8.12.2026. - 9:15:00\r\n";
    }
    return path.string();
}

void RecordLookupOnDisk(benchmark::State &state) {
    Text path = fs::path(RecordFile(state.range(0))).wstring();
    auto platform = MakeSystemPlatform();
    for (auto _ : state)
        benchmark::DoNotOptimize(IsRecorded(*platform, path, L"PC07_ana"));
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(fs::file_size(fs::path(path))));
}
BENCHMARK(RecordLookupOnDisk)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void DecodeCentralEuropeanText(benchmark::State &state) {
    std::string bytes(static_cast<std::size_t>(state.range(0)), 'a');
    for (std::size_t i = 0; i < bytes.size(); i += 17)
        bytes[i] = '\x9A'; // š now and then
    Text out;
    for (auto _ : state) {
        DecodeSingleByteInto(bytes.data(), bytes.size(), SingleByteCodePage::Windows1250, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(DecodeCentralEuropeanText)->Arg(40)->Arg(1 << 20);

void LoadAndResolveConfiguration(benchmark::State &state) {
    FakePlatform platform;
    Text text;
    for (int i = 0; i < state.range(0); ++i)
        text += L"* comment " + std::to_wstring(i) + L"\r\nKey" + std::to_wstring(i) + L" = v\r\n";
    text += L"NewFiles = \\\\srv\\dist\r\nNewFE = uxVTade.ade\r\nRuntime = True\r\n";
    platform.PutTextFile(platform.programFolder + L"\\DravikVT.txt", text);
    for (auto _ : state) {
        frmDravikVT form(platform);
        form.LoadConfiguration();
        form.ResolveSettings();
        benchmark::DoNotOptimize(form.Settings().UserKey.data());
    }
}
BENCHMARK(LoadAndResolveConfiguration)->Arg(10)->Arg(1000);

void TrustedLocationFoundInLastSlot(benchmark::State &state) {
    FakePlatform platform;
    const Text base =
        L"Software\\Microsoft\\Office\\14.0\\Access\\Security\\Trusted Locations\\Location";
    for (int i = 0; i < 99; ++i)
        platform.PutRegistryString(base + std::to_wstring(i), L"Path",
                                   L"D:\\x" + std::to_wstring(i) + L"\\" + L'\0');
    platform.PutRegistryString(base + L"99", L"Path", Text(L"C:\\Apps\\") + L'\0');
    for (auto _ : state)
        benchmark::DoNotOptimize(Global::EnsureTrustedLocation(platform));
}
BENCHMARK(TrustedLocationFoundInLastSlot);

} // namespace
