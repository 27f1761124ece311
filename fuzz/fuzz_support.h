#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What the fuzz targets share: a scratch folder of their own and a check that stops the run with the input
// that broke an invariant (libFuzzer keeps that input as a crash file).
namespace fuzz {

// A folder for this process, made at the first call and removed when the process ends.
const QString& scratchFolder();

// Writes the bytes as the file `name` in the scratch folder, replacing it; its path.
QString writeScratch(const QString& name, const std::uint8_t* data, std::size_t size);

// Text from fuzz bytes: UTF-16 code units, so unpaired surrogates and zero characters occur too.
QString utf16Text(const std::uint8_t* data, std::size_t size);

[[noreturn]] void fail(const char* file, int line, const char* condition, const QString& detail);

}  // namespace fuzz

// An invariant of the parser under test; `detail` says what was seen.
#define FUZZ_CHECK(condition, detail)                                                                            \
    do {                                                                                                         \
        if (!(condition))                                                                                        \
            ::fuzz::fail(__FILE__, __LINE__, #condition, (detail));                                              \
    } while (false)
