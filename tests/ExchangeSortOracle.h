#pragma once

// The file's exchange sort done literally, record by record, over a file held in
// memory, with the file's reading rules (counts rounded, a partial last record read
// as if completed with spaces). Slow, quadratic and obviously right: the reference
// the fast sort is checked against.
#include "ContactFile.h"
#include "Cp1252.h"

#include <string>

inline std::string exchangeSortLiterally(std::string file)
{
    using contacts::kRecordSize;
    const auto count = [&] { return contacts::recordCount(file.size()); };
    const auto readRecord = [&](std::int64_t k) {
        std::string record = file.substr(std::size_t(k - 1) * kRecordSize, kRecordSize);
        record.resize(kRecordSize, ' ');
        return record;
    };
    const auto writeRecord = [&](std::int64_t k, const std::string &record) {
        const std::size_t at = std::size_t(k - 1) * kRecordSize;
        if (file.size() < at + kRecordSize)
            file.resize(at + kRecordSize);
        file.replace(at, kRecordSize, record);
    };
    // Code point order of the decoded keys is the byte order of their UTF-8.
    const auto nombre = [](const std::string &record) { return contacts::decodeCp1252(record.substr(25, 20)); };

    const std::int64_t last = count() - 1;
    for (std::int64_t i = 1; i <= last; ++i) {
        const std::int64_t n = count();
        for (std::int64_t j = i + 1; j <= n; ++j) {
            const std::string a = readRecord(i);
            const std::string b = readRecord(j);
            if (nombre(b) < nombre(a)) {
                writeRecord(i, b);
                writeRecord(j, a);
            }
        }
    }
    return file;
}
