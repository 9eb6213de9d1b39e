#pragma once

// The file's swap sort done literally, record by record, over a file held in
// memory, with the file's reading rules (counts rounded, a partial last record read
// as if completed with spaces). Slow, quadratic and obviously right: the reference
// the fast sort is checked against.
#include "contacts/ContactFile.h"
#include "contacts/Cp1252.h"
#include "tests/support/RecordFiles.h"
#include "contacts/Sort.h"

#include <random>
#include <string>
#include <vector>

inline std::string swapSortLiterally(std::string file)
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

// Random files to check the fast sort against the literal one. Few distinct keys per
// file, so that duplicates are the rule, and every record unique (a serial in the
// surname), so that equal keys left in the wrong relative order are caught. With no
// `keys`, raw 20-byte keys of any bytes.
class RandomSortFiles {
public:
    RandomSortFiles(std::vector<std::string> keys, int maxRecords)
        : m_keys(std::move(keys)), m_maxRecords(maxRecords)
    {
        if (!m_keys.empty())
            return;
        for (int k = 0; k < 4; ++k) {
            std::string key(20, ' ');
            for (char &c : key)
                c = char(m_random() % 4 == 0 ? m_random() % 256 : 'a' + m_random() % 3);
            m_rawKeys.push_back(key);
        }
    }

    std::string next()
    {
        const int n = int(m_random() % (m_maxRecords + 1));
        const std::vector<std::string> &keys = m_keys.empty() ? m_rawKeys : m_keys;
        const std::size_t pool = 1 + m_random() % keys.size();
        std::string file;
        for (int i = 0; i < n; ++i) {
            const std::string serial = "R" + std::to_string(i);
            const std::string &key = keys[m_random() % pool];
            if (m_keys.empty())
                file += recordBytes(serial, {}).replace(contacts::kNombreOffset, contacts::kNombreWidth, key);
            else
                file += recordBytes(serial, key);
        }
        return file;
    }

private:
    std::vector<std::string> m_keys;
    std::vector<std::string> m_rawKeys;
    int m_maxRecords;
    std::mt19937 m_random{20240611};
};

// Whether the fast sort leaves `file` (whole records) in the literal sort's order.
inline bool sortsLikeSwapSort(const std::string &file)
{
    std::string actual;
    for (std::uint32_t index : contacts::swapSortOrder(file.data(), file.size() / contacts::kRecordSize))
        actual += file.substr(std::size_t(index) * contacts::kRecordSize, contacts::kRecordSize);
    return actual == swapSortLiterally(file);
}
