#include "main/column_width.h"

#include <cmath>

namespace vrt::cfg {

int ColumnWidth::RowWidth(std::string_view text, int indent) const {
    double width = 0;
    for (const char c : text) width += charWidths_[static_cast<unsigned char>(c)];
    return indent + int(std::ceil(width));
}

void ColumnWidth::Remove(int rowWidth) {
    const auto it = rows_.find(rowWidth);
    if (it != rows_.end() && --it->second == 0) rows_.erase(it);
}

}  // namespace vrt::cfg
