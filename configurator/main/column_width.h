#pragma once
// The width a tree column needs to show every row's text whole, kept up to
// date as rows come, change and go. Qt's own sizing to contents looks at
// about a thousand rows only. The tree's font is fixed-pitch, so a text is
// as wide as its characters together: each character is measured once, and
// a row costs a few additions, also in a tree of a hundred thousand rows.
#include <array>
#include <map>
#include <string_view>

namespace vrt::cfg {

class ColumnWidth {
public:
    // The width of each Windows-1251 character, in pixels (fractions kept).
    void SetCharWidths(const std::array<double, 256>& widths) { charWidths_ = widths; }
    // A row's width: the indentation before it and its text, rounded up.
    int RowWidth(std::string_view text, int indent) const;

    void Add(int rowWidth) { ++rows_[rowWidth]; }
    void Remove(int rowWidth);
    // The widest row there is; 0 with none.
    int Widest() const { return rows_.empty() ? 0 : rows_.rbegin()->first; }

private:
    std::array<double, 256> charWidths_{};
    std::map<int, int> rows_;  // row width -> the number of rows that wide
};

}  // namespace vrt::cfg
