// libFuzzer target for the row file reader. It feeds arbitrary bytes through
// the byte-callback form of ReadRowFields and traps on any break of the
// reader's contract: the size of the result, where reading stops, the range of
// stored numbers, and that the result depends only on the bytes consumed.
//
// Build and run from the repository root (new inputs go to the first folder,
// so keep fuzz/corpus second to leave the seed files as they are):
//   clang++ -std=c++20 -fsanitize=fuzzer,address,undefined -Isrc fuzz/rowfile_fuzz.cpp src/table/RowFile.cpp -o /tmp/rowfuzz
//   mkdir -p /tmp/rowcorpus && /tmp/rowfuzz -max_total_time=60 /tmp/rowcorpus fuzz/corpus
#include "table/RowFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool isLineEnd(std::uint8_t b) { return b == '\r' || b == '\n'; }

// Counts field ends in the consumed bytes without the reader's help: each
// comma, CR and LF ends a field, except an LF right after a CR (one line end).
// The end of the data ends one more field unless it comes right after a line
// end or at the very start. `lastEnds` tells whether the last consumed byte
// was itself counted as a field end.
int countFieldEnds(const std::uint8_t* data, std::size_t consumed, bool endReported, bool& lastEnds)
{
    int ends = 0;
    lastEnds = false;
    for (std::size_t i = 0; i < consumed; ++i) {
        const std::uint8_t b = data[i];
        lastEnds = b == ',' || b == '\r' || (b == '\n' && !(i > 0 && data[i - 1] == '\r'));
        if (lastEnds)
            ++ends;
    }
    if (endReported && consumed > 0 && !isLineEnd(data[consumed - 1]))
        ++ends;
    return ends;
}

bool sameResult(const rows::ReadResult& a, const rows::ReadResult& b)
{
    return a.ok == b.ok && a.cells == b.cells;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::size_t consumed = 0;
    int endsReported = 0;
    bool calledAfterEnd = false;
    const std::function<int()> next = [&]() -> int {
        if (endsReported > 0)
            calledAfterEnd = true;
        if (consumed < size)
            return data[consumed++];
        ++endsReported;
        return -1;
    };
    const rows::ReadResult r = rows::ReadRowFields(next);

    check(!calledAfterEnd);
    check(consumed <= size);
    // Every field is cut off after 257 bytes, plus its separator and the LF of
    // a CR LF; a byte order mark adds three bytes before the first.
    check(consumed <= static_cast<std::size_t>(rows::kFieldCount) * (rows::kMaxFieldBytes + 3) + 3);

    for (const Cell& c : r.cells)
        check(!c || (*c >= -999999999LL && *c <= 999999999LL));

    bool lastEnds = false;
    const int ends = countFieldEnds(data, consumed, endsReported > 0, lastEnds);
    const auto cellCount = static_cast<int>(r.cells.size());
    if (r.ok) {
        check(cellCount == rows::kFieldCount);
        // Exactly 63 fields ended, and reading stopped at the byte that ended
        // the 63rd: nothing after it was requested. When the end of the data
        // closed the 63rd field (say an empty one after a final comma), that
        // end was asked for once, and last.
        check(ends == rows::kFieldCount);
        check(endsReported > 0 ? consumed == size : lastEnds);
    } else {
        // An error in the 63rd field leaves 62 cells. The faulty field may
        // have been caught at its separator, which is then counted too.
        check(cellCount < rows::kFieldCount);
        check(cellCount == ends || cellCount + 1 == ends);
    }

    // The result depends only on the bytes consumed.
    const std::string_view prefix(reinterpret_cast<const char*>(data), consumed);
    check(sameResult(rows::ReadRowFields(prefix), r));

    // What was read writes out and reads back as the same cells.
    if (r.ok) {
        std::vector<std::string> texts;
        for (const Cell& c : r.cells)
            texts.push_back(rows::CellText(c));
        const std::string file = rows::FormatRowFile(texts);
        check(file.size() >= 2 * static_cast<std::size_t>(rows::kFieldCount));
        check(sameResult(rows::ReadRowFields(file), r));
    }
    return 0;
}
