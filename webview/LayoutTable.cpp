// Tables: the grid of a table's rows and cells (thead first, tfoot last, rows and cells without a
// group or a row get an anonymous one), column widths from the cells' intrinsic widths (automatic
// layout) or from the first row (fixed layout), row heights from the cells laid out at their
// columns' widths, and the cells placed with their backgrounds stretched to their rows.
//
// A table owns its list: its captions and cells are Child entries in it, and row and row-group
// backgrounds are Decor items under their cells. Rows and row groups own no list; their border
// boxes are kept in the table's coordinates. A cell owns its list, laid out once at its column
// width and kept while its subtree and width do not change; placing it only sets its origin and
// the rectangles of its background, so a row growing elsewhere costs the cell nothing.
//
// What a table's layout learns before it is given a width (its grid and its columns' narrowest and
// widest widths, TableGrid) is kept by the Layouter for the pass, so that measuring a table and
// laying it out read the cells once; it is dropped when the table has been laid out.
//
// Every step is one pass over the cells (spanning cells are sorted by their span), so a table's
// cost grows with its cells, not with rows times rows.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>

#include "Dom.h"
#include "LayoutEngine.h"
#include "Text.h"

namespace webview {

namespace {

bool IsRowGroup(Display d) {
    return d == Display::TableRowGroup || d == Display::TableHeaderGroup || d == Display::TableFooterGroup;
}

// Table parts that never stand as a cell of their own.
bool IsStructural(Display d) {
    return IsRowGroup(d) || d == Display::TableRow || d == Display::TableCaption || d == Display::TableColumn ||
           d == Display::TableColumnGroup || d == Display::None;
}

int IntAttr(Box* b, const char* name, int fallback) {
    std::string v;
    if (!b->node || !GetAttr(b->node, name, &v)) return fallback;
    v = Trim(v);
    if (v.empty() || !(isdigit((unsigned char)v[0]) || v[0] == '+')) return fallback;
    return atoi(v.c_str());
}

bool HasBackground(const Box* b) {
    return b && ((b->style.background >> 24) || !b->style.backgroundImage.empty());
}

// Splits `extra` over the chosen entries in proportion to their weights (equally when they weigh
// nothing); the rounding remainder goes to the last.
void Spread(std::vector<int*>& into, const std::vector<long long>& weight, int extra) {
    if (into.empty() || extra <= 0) return;
    long long total = 0;
    for (long long w : weight) total += w;
    int given = 0;
    for (size_t i = 0; i < into.size(); ++i) {
        int part = i + 1 == into.size() ? extra - given
                   : total > 0          ? int(extra * weight[i] / total)
                                        : extra / int(into.size());
        *into[i] += part;
        given += part;
    }
}

}  // namespace

struct TableCellSlot {
    Box* box;
    int row, col, rowSpan, colSpan;
    int height = 0;    // natural border-box height at its column width
    int baseline = 0;  // its first line's baseline below its border box's top
    int least = 0;     // its specified height (border box)
    // What it asks of its column (narrowest, widest, specified width, percentage), and the border
    // box width it was laid out at.
    int mn = 0, mx = 0, fixed = -1;
    float percent = 0;
    int boxW = 0;
};

struct TableRowSlot {
    Box* box;    // null: an anonymous row
    Box* group;  // null: an anonymous group
};

struct TableColumnSlot {
    int min = 0, max = 0;
    int fixed = -1;    // the widest specified width (border box), -1 when none is
    float percent = 0;
};

// A col or colgroup element and the columns it stands for, [first, end).
struct TableColumnBox {
    Box* box;
    int first, end;
};

// What a table's layout knows before widths are given: its structure and its columns' widths.
struct TableGrid {
    std::vector<Box*> captions;
    std::vector<TableColumnBox> columnBoxes;
    std::vector<TableRowSlot> rows;
    std::vector<TableCellSlot> cells;  // in row order
    std::vector<TableColumnSlot> cols;
    bool collapse = false;
    bool fixedLayout = false;
    int sx = 0, sy = 0;
    // Collapsed borders: the width of each vertical and horizontal grid line (the wider border
    // of the cells that meet on it).
    std::vector<int> lineV, lineH;
    // Collapsed: the table's own borders, which the outer grid lines take in.
    Edges edge;
    int min = 0, max = 0;  // the content widths the grid needs (spacing and lines included)
    // The content width the grid takes beyond its columns' widths.
    int Extra() const {
        if (cols.empty()) return 0;
        return collapse ? lineV.back() - edge.left - edge.right : int(cols.size() + 1) * sx;
    }

    // What its last layout left for a pass that re-lays only changed rows (TableKept): whether
    // that may be done (row groups of rows of single cells, separate borders, nothing positioned,
    // captioned or overflowing), the table's style and content width, its children as they were,
    // the grid's positions and each row's part of the table's lists.
    struct Kid {
        Box* box;
        bool element;
        Display display;
        bool background;
        size_t firstRow;
        std::vector<Box*> members;
    };
    struct RowLaid {
        size_t cell0 = 0, cell1 = 0, item0 = 0, item1 = 0, hit0 = 0, hit1 = 0;
        RECT rect{};
        int below = 0;
    };
    bool keepable = false;
    bool quirks = false;
    Style style;
    int width = 0;
    std::vector<Kid> kids;
    std::vector<int> X, Y, rowH, above;
    std::vector<RowLaid> laid;
    size_t itemStart = 0, itemEnd = 0, hitStart = 0, hitEnd = 0;
};

namespace {

// The rows of one row group (or of a run of rows and cells with none) and their cells, which are
// [first, end) of one list for all rows.
struct PendingRow {
    Box* box;
    size_t first, end;
};

void CollectRows(const std::vector<Box*>& members, std::vector<PendingRow>& out, std::vector<Box*>& cells) {
    out.clear();
    cells.clear();
    PendingRow anonymous{nullptr, 0, 0};
    for (Box* k : members) {
        if (!k->element || k->style.display == Display::None) continue;
        if (k->style.display == Display::TableRow) {
            if (anonymous.end > anonymous.first) out.push_back(anonymous);
            PendingRow r{k, cells.size(), 0};
            for (auto& c : k->children)
                if (c->element && !IsStructural(c->style.display)) cells.push_back(c.get());
            r.end = cells.size();
            out.push_back(r);
            anonymous = PendingRow{nullptr, cells.size(), cells.size()};
        } else if (!IsStructural(k->style.display)) {
            if (anonymous.end == anonymous.first) anonymous.first = anonymous.end = cells.size();
            cells.push_back(k);
            anonymous.end = cells.size();
        }
    }
    if (anonymous.end > anonymous.first) out.push_back(anonymous);
}

// Pixels of a cell's specified width as a border box, or -1.
int SpecifiedBoxWidth(const Style& s) {
    if (s.width.kind != Length::Px) return -1;
    int w = int(s.width.value);
    if (!s.borderBox) {
        const Edges p = s.padding.Resolve(0);
        w += p.left + p.right + s.border.left + s.border.right;
    }
    return w;
}

// A cell's need as a share of the grid: in the collapsed model its left grid line counts to its
// column, its own borders do not.
int Share(const TableGrid& g, const TableCellSlot& c, int boxWidth) {
    if (!g.collapse) return boxWidth;
    const Edges& b = c.box->style.border;
    return std::max(0, boxWidth - b.left - b.right + g.lineV[c.col]);
}

// A cell's narrowest and widest border box, measured without its own specified width (which only
// caps its widest), as its columns must give them.
void Contribution(Layouter& l, const TableGrid& g, TableCellSlot& c) {
    Style& s = c.box->style;
    Length width = s.width;
    s.width = Length();
    int mn = l.MinContent(c.box), mx = std::max(mn, l.MaxContent(c.box));
    s.width = width;
    int fixed = SpecifiedBoxWidth(s);
    if (fixed >= 0) mx = std::max(mn, fixed);
    c.mn = Share(g, c, mn);
    c.mx = Share(g, c, mx);
    c.fixed = fixed >= 0 ? Share(g, c, fixed) : -1;
    c.percent = width.kind == Length::Percent ? width.value : 0;
}

}  // namespace

TableGrid& Layouter::Grid(Box* table) {
    std::shared_ptr<TableGrid>& slot = m_tables[table];
    if (slot) return *slot;
    slot = std::make_shared<TableGrid>();
    TableGrid& g = *slot;
    const Style& ts = table->style;
    g.collapse = ts.borderCollapse;
    g.sx = g.collapse ? 0 : ts.borderSpacingX;
    g.sy = g.collapse ? 0 : ts.borderSpacingY;
    g.fixedLayout = ts.fixedTableLayout && !ts.width.IsAuto();

    // Sections in their drawing order: the first header group, the rest as they come, the first
    // footer group last.
    std::vector<std::pair<Box*, std::vector<Box*>>> sections;
    std::vector<Box*> loose;
    std::vector<std::pair<Box*, int>> columns;  // col elements: box, span
    Box* head = nullptr;
    Box* foot = nullptr;
    auto flushLoose = [&] {
        if (!loose.empty()) sections.emplace_back(nullptr, std::move(loose));
        loose.clear();
    };
    for (auto& c : table->children) {
        Box* k = c.get();
        if (!k->element || k->style.display == Display::None) continue;
        Display d = k->style.display;
        if (d == Display::TableCaption) {
            g.captions.push_back(k);
        } else if (d == Display::TableColumn) {
            columns.emplace_back(k, std::max(1, std::min(1000, IntAttr(k, "span", 1))));
        } else if (d == Display::TableColumnGroup) {
            size_t first = columns.size();
            for (auto& col : k->children)
                if (col->element && col->style.display == Display::TableColumn)
                    columns.emplace_back(col.get(), std::max(1, std::min(1000, IntAttr(col.get(), "span", 1))));
            int start = 0, span = 0;
            for (size_t i = 0; i < first; ++i) start += columns[i].second;
            for (size_t i = first; i < columns.size(); ++i) span += columns[i].second;
            if (columns.size() == first) columns.emplace_back(k, std::max(1, std::min(1000, IntAttr(k, "span", 1))));
            else g.columnBoxes.push_back(TableColumnBox{k, start, start + span});
        } else if (IsRowGroup(d)) {
            flushLoose();
            if (d == Display::TableHeaderGroup && !head) {
                head = k;
            } else if (d == Display::TableFooterGroup && !foot) {
                foot = k;
            } else {
                std::vector<Box*> members;
                for (auto& m : k->children) members.push_back(m.get());
                sections.emplace_back(k, std::move(members));
            }
        } else {
            loose.push_back(k);
        }
    }
    flushLoose();
    auto membersOf = [](Box* group) {
        std::vector<Box*> members;
        for (auto& m : group->children) members.push_back(m.get());
        return members;
    };
    if (head) sections.insert(sections.begin(), std::make_pair(head, membersOf(head)));
    if (foot) sections.emplace_back(foot, membersOf(foot));

    // Slots: a column is taken until the row where the rowspan above it ends.
    std::vector<int> busy;
    std::vector<PendingRow> pending;
    std::vector<Box*> pendingCells;
    for (auto& section : sections) {
        CollectRows(section.second, pending, pendingCells);
        int first = int(g.rows.size()), count = int(pending.size());
        for (int i = 0; i < count; ++i) {
            int r = first + i;
            g.rows.push_back(TableRowSlot{pending[i].box, section.first});
            int col = 0;
            for (size_t ci = pending[i].first; ci < pending[i].end; ++ci) {
                Box* cell = pendingCells[ci];
                while (col < int(busy.size()) && busy[col] > r) ++col;
                if (!cell->spansRead) {
                    cell->colSpanAttr = IntAttr(cell, "colspan", 1);
                    cell->rowSpanAttr = IntAttr(cell, "rowspan", 1);
                    cell->spansRead = true;
                }
                int colSpan = std::max(1, std::min(1000, cell->colSpanAttr));
                int rowSpan = cell->rowSpanAttr;
                if (rowSpan <= 0) rowSpan = rowSpan == 0 ? count - i : 1;
                rowSpan = std::max(1, std::min(rowSpan, count - i));
                if (int(busy.size()) < col + colSpan) busy.resize(col + colSpan, 0);
                for (int k = col; k < col + colSpan; ++k) busy[k] = r + rowSpan;
                g.cells.push_back(TableCellSlot{cell, r, col, rowSpan, colSpan});
                col += colSpan;
            }
        }
        // Rows spans end with their group.
        std::fill(busy.begin(), busy.end(), 0);
    }
    int colsFromCols = 0;
    for (auto& c : columns) {
        g.columnBoxes.push_back(TableColumnBox{c.first, colsFromCols, colsFromCols + c.second});
        colsFromCols += c.second;
    }
    // Columns that only spanning cells cross, where no cell starts and no col element stands, take
    // no room of their own: they merge into the column before them.
    {
        size_t n = busy.size();
        std::vector<char> starts(n, 0);
        for (const TableCellSlot& c : g.cells) starts[c.col] = 1;
        for (size_t k = 0; k < std::min(n, size_t(colsFromCols)); ++k) starts[k] = 1;
        std::vector<int> index(n + 1, 0);  // kept columns before each
        int kept = 0;
        for (size_t k = 0; k < n; ++k) {
            index[k] = kept;
            if (starts[k]) ++kept;
        }
        index[n] = kept;
        if (size_t(kept) < n) {
            for (TableCellSlot& c : g.cells) {
                int end = index[c.col + c.colSpan];
                c.col = index[c.col];
                c.colSpan = std::max(1, end - c.col);
            }
            busy.resize(kept);
        }
    }
    g.cols.resize(std::max(busy.size(), g.fixedLayout ? size_t(colsFromCols) : size_t(0)));
    size_t ncols = g.cols.size();

    // Collapsed borders: each grid line is as wide as the widest border of the cells on it.
    if (g.collapse) {
        g.lineV.assign(ncols + 1, 0);
        g.lineH.assign(g.rows.size() + 1, 0);
        for (const TableCellSlot& c : g.cells) {
            const Edges& b = c.box->style.border;
            int& l = g.lineV[c.col];
            int& r = g.lineV[c.col + c.colSpan];
            int& t = g.lineH[c.row];
            int& bo = g.lineH[c.row + c.rowSpan];
            l = std::max(l, b.left);
            r = std::max(r, b.right);
            t = std::max(t, b.top);
            bo = std::max(bo, b.bottom);
        }
        g.edge = ts.border;
        g.lineV.front() = std::max(g.lineV.front(), g.edge.left);
        g.lineV.back() = std::max(g.lineV.back(), g.edge.right);
        g.lineH.front() = std::max(g.lineH.front(), g.edge.top);
        g.lineH.back() = std::max(g.lineH.back(), g.edge.bottom);
    }
    auto share = [&](const TableCellSlot& c, int boxWidth) { return Share(g, c, boxWidth); };

    // Column widths given by col elements.
    {
        size_t at = 0;
        for (auto& c : columns) {
            const Length& w = c.first->style.width;
            for (int k = 0; k < c.second && at < ncols; ++k, ++at) {
                if (w.kind == Length::Px) g.cols[at].fixed = std::max(g.cols[at].fixed, int(w.value));
                else if (w.kind == Length::Percent) g.cols[at].percent = std::max(g.cols[at].percent, w.value);
            }
        }
    }

    if (g.fixedLayout) {
        // Only the first row's cells speak; the rest of the table fits in what they leave.
        for (const TableCellSlot& c : g.cells) {
            if (c.row != 0) break;
            const Style& s = c.box->style;
            int w = SpecifiedBoxWidth(s);
            if (w >= 0) {
                int each = share(c, w) / c.colSpan;
                for (int k = 0; k < c.colSpan; ++k)
                    if (g.cols[c.col + k].fixed < 0) g.cols[c.col + k].fixed = each;
            } else if (s.width.kind == Length::Percent) {
                for (int k = 0; k < c.colSpan; ++k)
                    if (g.cols[c.col + k].percent <= 0) g.cols[c.col + k].percent = s.width.value / c.colSpan;
            }
        }
        int sum = 0;
        for (TableColumnSlot& col : g.cols) {
            col.min = col.max = std::max(0, col.fixed);
            sum += col.min;
        }
        g.min = g.max = sum + g.Extra();
        return g;
    }

    // Automatic layout: each cell's narrowest and widest border box, measured without its own
    // specified width (which only caps its widest).
    std::vector<size_t> spanning;
    std::vector<std::pair<int, int>> measured(g.cells.size());
    for (size_t i = 0; i < g.cells.size(); ++i) {
        TableCellSlot& c = g.cells[i];
        Contribution(*this, g, c);
        measured[i] = {c.mn, c.mx};
        if (c.colSpan > 1) {
            spanning.push_back(i);
            continue;
        }
        TableColumnSlot& col = g.cols[c.col];
        col.min = std::max(col.min, c.mn);
        col.max = std::max(col.max, c.mx);
        if (c.fixed >= 0) col.fixed = std::max(col.fixed, c.fixed);
        if (c.percent > 0) col.percent = std::max(col.percent, c.percent);
    }
    for (TableColumnSlot& col : g.cols) {
        if (col.fixed >= 0) col.max = std::max(col.min, col.fixed);
        col.max = std::max(col.max, col.min);
    }
    // Spanning cells, narrow spans first: what the columns lack is spread by their widest widths.
    std::stable_sort(spanning.begin(), spanning.end(),
                     [&](size_t a, size_t b) { return g.cells[a].colSpan < g.cells[b].colSpan; });
    for (size_t i : spanning) {
        const TableCellSlot& c = g.cells[i];
        int inner = (c.colSpan - 1) * g.sx;
        int sumMin = 0, sumMax = 0;
        std::vector<int*> mins, maxs;
        std::vector<long long> weight;
        for (int k = c.col; k < c.col + c.colSpan; ++k) {
            sumMin += g.cols[k].min;
            sumMax += g.cols[k].max;
            mins.push_back(&g.cols[k].min);
            maxs.push_back(&g.cols[k].max);
            weight.push_back(g.cols[k].max);
        }
        Spread(mins, weight, measured[i].first - inner - sumMin);
        Spread(maxs, weight, measured[i].second - inner - sumMax);
        for (int k = c.col; k < c.col + c.colSpan; ++k) g.cols[k].max = std::max(g.cols[k].max, g.cols[k].min);
    }

    int sumMin = 0, sumMax = 0, otherMax = 0;
    float percent = 0;
    long long widest = 0;
    for (const TableColumnSlot& col : g.cols) {
        sumMin += col.min;
        sumMax += col.max;
        if (col.percent > 0) {
            percent += col.percent;
            widest = std::max(widest, (long long)(col.max * 100 / col.percent));
        } else {
            otherMax += col.max;
        }
    }
    long long grid = std::max<long long>(sumMax, widest);
    if (percent > 0) {
        if (percent < 100) grid = std::max(grid, (long long)(otherMax * 100 / (100 - percent)));
        else if (otherMax > 0) grid = 100000;
    }
    g.min = sumMin + g.Extra();
    g.max = std::max(g.min, int(std::min<long long>(grid, 100000)) + g.Extra());
    return g;
}

namespace {

// Column widths for a grid width (spacing and outer lines excluded): between the guesses that
// give every column its minimum, percentage columns their share, fixed columns their width and
// every column its widest, the widths are interpolated; beyond the widest the rest goes to the
// automatic columns first.
std::vector<int> ColumnWidths(const TableGrid& g, int width) {
    size_t n = g.cols.size();
    std::vector<int> out(n, 0);
    if (!n) return out;
    if (g.fixedLayout) {
        int given = 0, autos = 0;
        for (size_t i = 0; i < n; ++i) {
            const TableColumnSlot& c = g.cols[i];
            if (c.fixed >= 0) out[i] = c.fixed;
            else if (c.percent > 0) out[i] = int(c.percent * width / 100);
            else ++autos;
            given += out[i];
        }
        int rest = std::max(0, width - given);
        std::vector<int*> into;
        std::vector<long long> weight;
        for (size_t i = 0; i < n; ++i)
            if (autos ? (g.cols[i].fixed < 0 && g.cols[i].percent <= 0) : true) {
                into.push_back(&out[i]);
                weight.push_back(autos ? 0 : out[i]);
            }
        Spread(into, weight, rest);
        return out;
    }
    std::vector<int> guess[4];
    long long sum[4] = {0, 0, 0, 0};
    for (int k = 0; k < 4; ++k) guess[k].resize(n);
    for (size_t i = 0; i < n; ++i) {
        const TableColumnSlot& c = g.cols[i];
        int pct = c.percent > 0 ? std::max(c.min, int(c.percent * width / 100)) : c.min;
        guess[0][i] = c.min;
        guess[1][i] = pct;
        guess[2][i] = c.percent > 0 ? pct : c.fixed >= 0 ? c.max : c.min;
        guess[3][i] = c.percent > 0 ? pct : c.max;
        for (int k = 0; k < 4; ++k) sum[k] += guess[k][i];
    }
    if (width <= sum[0]) return guess[0];
    for (int k = 1; k < 4; ++k) {
        if (width > sum[k]) continue;
        long long span = sum[k] - sum[k - 1];
        long long have = width - sum[k - 1];
        int given = 0;
        for (size_t i = 0; i < n; ++i) {
            int d = guess[k][i] - guess[k - 1][i];
            out[i] = guess[k - 1][i] + (span > 0 ? int(d * have / span) : 0);
            given += out[i];
        }
        // Rounding leftovers go to the last column that grew.
        for (size_t i = n; i-- > 0;)
            if (guess[k][i] > guess[k - 1][i]) {
                out[i] += width - given;
                break;
            }
        return out;
    }
    out = guess[3];
    int extra = int(width - sum[3]);
    std::vector<int*> into;
    std::vector<long long> weight;
    auto pick = [&](auto want, bool byMax) {
        for (size_t i = 0; i < n; ++i)
            if (want(g.cols[i])) {
                into.push_back(&out[i]);
                weight.push_back(byMax ? g.cols[i].max : 0);
            }
    };
    auto isAuto = [](const TableColumnSlot& c) { return c.fixed < 0 && c.percent <= 0; };
    pick([&](const TableColumnSlot& c) { return isAuto(c) && c.max > 0; }, true);
    if (into.empty()) pick(isAuto, false);
    if (into.empty()) pick([](const TableColumnSlot& c) { return c.fixed >= 0 && c.percent <= 0; }, true);
    if (into.empty()) {
        for (size_t i = 0; i < n; ++i)
            if (g.cols[i].percent > 0) {
                into.push_back(&out[i]);
                weight.push_back((long long)(g.cols[i].percent * 1000));
            }
    }
    if (into.empty()) pick([](const TableColumnSlot&) { return true; }, false);
    Spread(into, weight, extra);
    return out;
}

int FontAscent(HDC dc, HFONT font, std::unordered_map<HFONT, int>& cache) {
    auto it = cache.find(font);
    if (it != cache.end()) return it->second;
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    return cache[font] = tm.tmAscent;
}

// The baseline of the first line drawn in owner's list (and the lists below it), in owner's
// coordinates; false when it draws no text.
bool FirstBaseline(const Box* owner, HDC dc, std::unordered_map<HFONT, int>& ascents, int* out, int depth = 0) {
    for (const PaintItem& it : owner->items) {
        if (it.kind == PaintItem::Text && it.font) {
            *out = it.rc.top + FontAscent(dc, it.font, ascents);
            return true;
        }
        if (it.kind == PaintItem::Child && it.box && depth < RenderTree::kMaxDepth) {
            int inner = 0;
            if (FirstBaseline(it.box, dc, ascents, &inner, depth + 1)) {
                *out = inner + it.box->origin.y;
                return true;
            }
        }
    }
    return false;
}

}  // namespace

// Lays out a cell at border-box width boxW at its natural height; true when it sits on its row's
// baseline (c.baseline is then its first line's).
bool Layouter::SizeCell(TableGrid& g, TableCellSlot& c, int boxW, int width, bool quirks,
                        std::unordered_map<HFONT, int>& ascents) {
    Style& s = c.box->style;
    const Edges& b = s.border;
    c.boxW = boxW;
    c.least = c.baseline = 0;
    // The cell's own sizes are the grid's to give: laid out at its natural height.
    Length w = s.width, h = s.height, minH = s.minHeight, maxH = s.maxHeight, minW = s.minWidth, maxW = s.maxWidth;
    s.width = s.height = s.minHeight = s.maxHeight = s.minWidth = s.maxWidth = Length();
    c.height = Sized(c.box, std::max(0, boxW), -1);
    s.width = w, s.height = h, s.minHeight = minH, s.maxHeight = maxH, s.minWidth = minW, s.maxWidth = maxW;
    const Edges p = s.padding.Resolve(width);
    const bool onBaseline = s.verticalAlign != VerticalAlign::Top && s.verticalAlign != VerticalAlign::Middle &&
                            s.verticalAlign != VerticalAlign::Bottom;
    // Only cells on the row's baseline need theirs (a walk over what they drew).
    if (onBaseline && !FirstBaseline(c.box, m_dc, ascents, &c.baseline)) c.baseline = c.height - p.bottom - b.bottom;
    if (s.height.kind == Length::Px) {
        // Without a standards doctype a cell's height counts its padding and borders.
        c.least = int(s.height.value) + (s.borderBox || quirks ? 0 : p.top + p.bottom + b.top + b.bottom);
    }
    (void)g;
    return onBaseline;
}

// Puts a laid-out cell in owner's list over its grid area, its row's and group's backgrounds
// under it; true when it draws nothing beyond its own area and is neither positioned nor has
// descendants in other lists.
bool Layouter::PlaceCell(TableGrid& g, TableCellSlot& c, const std::vector<int>& X, const std::vector<int>& Y,
                         const std::vector<int>& above, Box* owner) {
    auto lineV = [&](size_t c) { return g.collapse ? g.lineV[c] : 0; };
    auto lineH = [&](size_t r) { return g.collapse ? g.lineH[r] : 0; };
Box* k = c.box;
    const Style& s = k->style;
    const Edges& b = s.border;
    int c1 = c.col + c.colSpan, r1 = c.row + c.rowSpan;
    RECT box, geometry, paint;
    if (g.collapse) {
        box = RECT{X[c.col] + lineV(c.col) - b.left, Y[c.row] + lineH(c.row) - b.top, X[c1] + b.right,
                   Y[r1] + b.bottom};
        geometry = RECT{X[c.col] + lineV(c.col) / 2, Y[c.row] + lineH(c.row) / 2, X[c1] + lineV(c1) / 2,
                        Y[r1] + lineH(r1) / 2};
        paint = RECT{X[c.col], Y[c.row], X[c1] + lineV(c1), Y[r1] + lineH(r1)};
    } else {
        box = RECT{X[c.col], Y[c.row], X[c1] - g.sx, Y[r1] - g.sy};
        geometry = paint = box;
    }
    int space = std::max(0, int(box.bottom - box.top) - c.height);
    int shift = s.verticalAlign == VerticalAlign::Top      ? 0
                : s.verticalAlign == VerticalAlign::Middle ? space / 2
                : s.verticalAlign == VerticalAlign::Bottom ? space
                                                           : std::max(0, std::min(space, above[c.row] - c.baseline));
    const TableRowSlot& row = g.rows[c.row];
    for (Box* under : {row.group, row.box}) {
        if (!HasBackground(under)) continue;
        PaintItem d;
        d.kind = PaintItem::Decor;
        d.rc = paint;
        d.box = under;
        owner->items.push_back(std::move(d));
    }
    POINT at{box.left, box.top + shift};
    const size_t entry = owner->items.size();
    Place(k, at.x, at.y, owner);
    OffsetRect(&geometry, -at.x, -at.y);
    OffsetRect(&paint, -at.x, -at.y);
    if (!k->items.empty() && k->items[0].kind == PaintItem::Decor && k->items[0].box == k) k->items[0].rc = paint;
    if (!k->hits.empty() && !k->hits[0].box && k->hits[0].node == k->node) k->hits[0].rc = geometry;
    k->border = geometry;
    // A cell that clips its overflow draws within its border box.
    RECT extent = paint;
    for (const PaintItem& it : k->items) {
        if (s.ClipsX() || s.ClipsY()) break;
        RECT r = it.rc;
        if (it.kind == PaintItem::Child) {
            r = it.box->extent;
            OffsetRect(&r, it.box->origin.x, it.box->origin.y);
        }
        UnionRect(&extent, &extent, &r);
    }
    k->extent = extent;
    // Painting passes the thousands of cells out of sight by their entries alone.
    owner->items[entry].rc = extent;
    OffsetRect(&owner->items[entry].rc, at.x, at.y);
    return EqualRect(&extent, &paint) != FALSE && !s.IsPositioned() && !k->keepsOut;
}

int Layouter::TableWidth(Box* n, int avail) {
    TableGrid& g = Grid(n);
    const Style& s = n->style;
    const Edges m = s.margin.Resolve(avail), p = s.padding.Resolve(avail);
    int frame = s.border.left + s.border.right + p.left + p.right;
    int content;
    if (!s.width.IsAuto()) {
        // A table's width is its border box's.
        content = s.width.Resolve(avail, 0) - frame;
    } else {
        content = std::min(avail - m.left - m.right - frame, g.max);
    }
    return std::max(0, std::min(100000, std::max(content, g.min)));
}

int Layouter::TableMaxContent(Box* n) {
    TableGrid& g = Grid(n);
    const Style& s = n->style;
    const Edges m = s.margin.Resolve(0), p = s.padding.Resolve(0);
    int frame = s.border.left + s.border.right + p.left + p.right;
    int content = s.width.kind == Length::Px ? std::max(int(s.width.value) - frame, g.min) : g.max;
    return std::max(0, std::min(100000, content + frame + m.left + m.right));
}

int Layouter::TableMinContent(Box* n) {
    TableGrid& g = Grid(n);
    const Style& s = n->style;
    const Edges m = s.margin.Resolve(0), p = s.padding.Resolve(0);
    int frame = s.border.left + s.border.right + p.left + p.right;
    int content = s.width.kind == Length::Px ? std::max(int(s.width.value) - frame, g.min) : g.min;
    return std::max(0, std::min(100000, content + frame + m.left + m.right));
}

int Layouter::TableContent(Box* n, int x, int y, int width, Box* owner, int* used) {
    TableGrid& g = Grid(n);
    const Style& ts = n->style;
    const Edges tp = ts.padding.Resolve(width);
    // Captions span the table's border box, above (or below) its border.
    int frameLeft = ts.border.left + tp.left, frameTop = ts.border.top + tp.top;
    int frameW = frameLeft + ts.border.right + tp.right, frameBottom = ts.border.bottom + tp.bottom;
    int top = y;
    for (Box* c : g.captions) {
        if (c->style.captionBottom) continue;
        int h = Block(c, width + frameW);
        Place(c, x - frameLeft, top - frameTop, owner);
        top += h;
    }

    const size_t ncols = g.cols.size(), nrows = g.rows.size();
    std::vector<int> colW = ColumnWidths(g, std::max(0, width - g.Extra()));
    // Vertical grid positions: the left edge of each column's cells (separate borders), or of
    // each grid line (collapsed).
    std::vector<int> X(ncols + 1);
    // Collapsed, the outer grid lines lie over the table's own borders.
    X[0] = g.collapse ? x - g.edge.left : x + g.sx;
    for (size_t c = 0; c < ncols; ++c) X[c + 1] = X[c] + colW[c] + g.sx;

    // Cells at their widths, at their natural heights.
    std::unordered_map<HFONT, int> ascents;
    dom_document_quirks_mode mode = DOM_DOCUMENT_QUIRKS_MODE_NONE;
    if (m_doc.Dom()) dom_document_get_quirks_mode(m_doc.Dom(), &mode);
    bool quirks = mode == DOM_DOCUMENT_QUIRKS_MODE_FULL;
    std::vector<int> rowH(nrows, 0), above(nrows, 0), below(nrows, 0);
    auto size = [&](TableCellSlot& c) {
        const Edges& b = c.box->style.border;
        int boxW = g.collapse ? X[c.col + c.colSpan] - X[c.col] - g.lineV[c.col] + b.left + b.right
                              : X[c.col + c.colSpan] - g.sx - X[c.col];
        if (SizeCell(g, c, boxW, width, quirks, ascents)) {
            above[c.row] = std::max(above[c.row], c.baseline);
            if (c.rowSpan == 1) below[c.row] = std::max(below[c.row], c.height - c.baseline);
        }
    };
    // A cell's height as what its rows must give (collapsed: its top grid line instead of its
    // own top and bottom borders).
    auto need = [&](const TableCellSlot& c, int boxH) {
        if (!g.collapse) return boxH;
        const Edges& b = c.box->style.border;
        return std::max(0, boxH - b.top - b.bottom + g.lineH[c.row]);
    };
    auto rowBase = [&](size_t r) {
        Box* row = g.rows[r].box;
        if (row && row->style.height.kind == Length::Px) rowH[r] = int(row->style.height.value);
        if (above[r] + below[r] > 0) rowH[r] = std::max(rowH[r], above[r] + below[r]);
    };
    // The cells in place, their backgrounds (and their rows' and groups') over their whole rows.
    auto lineV = [&](size_t c) { return g.collapse ? g.lineV[c] : 0; };
    auto lineH = [&](size_t r) { return g.collapse ? g.lineH[r] : 0; };
    int gridTop = g.collapse ? top - g.edge.top : top;
    int edgeH = g.collapse ? g.edge.top + g.edge.bottom : 0;
    std::vector<int> Y(nrows + 1);
    Y[0] = gridTop + g.sy;
    const size_t itemStart = owner->items.size(), hitStart = owner->hits.size();
    std::vector<TableGrid::RowLaid> laid(nrows);
    bool plain = true;
    auto place = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            TableCellSlot& c = g.cells[i];
            const size_t i0 = owner->items.size(), h0 = owner->hits.size();
            if (!PlaceCell(g, c, X, Y, above, owner)) plain = false;
            TableGrid::RowLaid& rl = laid[c.row];
            if (rl.cell1 == 0) rl.cell0 = i, rl.item0 = i0, rl.hit0 = h0;
            rl.cell1 = i + 1, rl.item1 = owner->items.size(), rl.hit1 = owner->hits.size();
        }
    };
    bool spans = false;
    for (const TableCellSlot& c : g.cells) spans = spans || c.rowSpan > 1;
    int gridH = 0;
    if (!spans && ts.height.kind != Length::Px) {
        // Without cells spanning rows or a height to share, each row is done before the next:
        // sized, its height known, placed (its cells are read while they are at hand).
        size_t i = 0;
        for (size_t r = 0; r < nrows; ++r) {
            const size_t first = i;
            while (i < g.cells.size() && g.cells[i].row == int(r)) size(g.cells[i++]);
            rowBase(r);
            for (size_t k = first; k < i; ++k)
                rowH[r] = std::max(rowH[r], need(g.cells[k], std::max(g.cells[k].height, g.cells[k].least)));
            Y[r + 1] = Y[r] + rowH[r] + g.sy;
            place(first, i);
        }
        gridH = nrows ? (g.collapse ? Y[nrows] + g.lineH[nrows] - gridTop : Y[nrows] - gridTop) : 0;
    } else {
        for (TableCellSlot& c : g.cells) size(c);
        for (size_t r = 0; r < nrows; ++r) rowBase(r);
        for (const TableCellSlot& c : g.cells)
            if (c.rowSpan == 1) rowH[c.row] = std::max(rowH[c.row], need(c, std::max(c.height, c.least)));
        // Cells spanning rows: what their rows lack is spread by the rows' heights.
        std::vector<size_t> spanning;
        for (size_t i = 0; i < g.cells.size(); ++i)
            if (g.cells[i].rowSpan > 1) spanning.push_back(i);
        std::stable_sort(spanning.begin(), spanning.end(),
                         [&](size_t a, size_t b) { return g.cells[a].rowSpan < g.cells[b].rowSpan; });
        for (size_t i : spanning) {
            const TableCellSlot& c = g.cells[i];
            int have = (c.rowSpan - 1) * g.sy;
            std::vector<int*> into;
            std::vector<long long> weight;
            for (int r = c.row; r < c.row + c.rowSpan; ++r) {
                have += rowH[r];
                into.push_back(&rowH[r]);
                weight.push_back(rowH[r]);
            }
            Spread(into, weight, need(c, std::max(c.height, c.least)) - have);
        }

        // Horizontal grid positions.
        for (size_t r = 0; r < nrows; ++r) Y[r + 1] = Y[r] + rowH[r] + g.sy;
        gridH = nrows ? (g.collapse ? Y[nrows] + g.lineH[nrows] - gridTop : Y[nrows] - gridTop) : 0;
        // A set height taller than the rows: the rows share the rest.
        if (ts.height.kind == Length::Px && nrows) {
            // A table's height is its border box's, captions aside.
            int want = int(ts.height.value) - frameTop - frameBottom - (top - y) + edgeH;
            if (want > gridH) {
                std::vector<int*> into;
                std::vector<long long> weight;
                for (size_t r = 0; r < nrows; ++r) {
                    into.push_back(&rowH[r]);
                    weight.push_back(rowH[r]);
                }
                Spread(into, weight, want - gridH);
                for (size_t r = 0; r < nrows; ++r) Y[r + 1] = Y[r] + rowH[r] + g.sy;
                gridH = g.collapse ? Y[nrows] + g.lineH[nrows] - gridTop : Y[nrows] - gridTop;
            }
        }
        place(0, g.cells.size());
    }
    const size_t itemEnd = owner->items.size(), hitEnd = owner->hits.size();

    // Rows and groups: border boxes over their cells' area, in the table's coordinates.
    int left = g.collapse ? X[0] + lineV(0) / 2 : X[0];
    int right = g.collapse ? X[ncols] + lineV(ncols) / 2 : X[ncols] - g.sx;
    if (!ncols) right = left;
    auto settle = [](Box* b, RECT r) {
        b->border = r;
        b->needsLayout = false;
        b->ownsList = false;
        b->items.clear();
        b->hits.clear();
    };
    Box* group = nullptr;
    RECT groupRect{};
    for (size_t r = 0; r < nrows; ++r) {
        RECT rr{left, Y[r] + lineH(r) / 2, right, Y[r] + rowH[r] + (g.collapse ? lineH(r + 1) / 2 : 0)};
        if (g.rows[r].box) settle(g.rows[r].box, rr);
        if (g.rows[r].group != group) {
            if (group) settle(group, groupRect);
            group = g.rows[r].group;
            groupRect = rr;
        } else {
            UnionRect(&groupRect, &groupRect, &rr);
        }
    }
    if (group) settle(group, groupRect);
    // Columns and column groups: over their columns, from the first row's top to the last's bottom.
    int rowsTop = nrows ? Y[0] + lineH(0) / 2 : gridTop, rowsBottom = rowsTop;
    if (nrows) rowsBottom = Y[nrows - 1] + rowH[nrows - 1] + (g.collapse ? lineH(nrows) / 2 : 0);
    for (const TableColumnBox& cb : g.columnBoxes) {
        int first = std::min(cb.first, int(ncols)), end = std::min(cb.end, int(ncols));
        int l = g.collapse ? X[first] + lineV(first) / 2 : X[first];
        int r = end <= first ? l : g.collapse ? X[end] + lineV(end) / 2 : X[end] - g.sx;
        settle(cb.box, RECT{l, rowsTop, r, rowsBottom});
    }
    // Groups without rows, and rows without cells beyond the grid, sit empty where the grid ends.
    for (auto& c : n->children) {
        Box* k = c.get();
        if (!k->element || !k->needsLayout || !IsRowGroup(k->style.display)) continue;
        settle(k, RECT{left, gridTop + gridH, right, gridTop + gridH});
    }

    int bottom = gridTop + gridH - (g.collapse ? g.edge.bottom : 0);
    for (Box* c : g.captions) {
        if (!c->style.captionBottom) continue;
        int h = Block(c, width + frameW);
        Place(c, x - frameLeft, bottom + frameBottom, owner);
        bottom += h;
    }
    if (used) *used = width;

    // What a later pass needs to re-lay only changed rows, when the table is simple enough.
    bool keep = plain && !g.collapse && !g.fixedLayout && g.captions.empty() && g.columnBoxes.empty() &&
                owner == n && !ts.IsPositioned() && !ts.hidden && !ts.ClipsX() && !ts.ClipsY() &&
                ts.height.kind != Length::Px;
    for (size_t r = 0; keep && r < nrows; ++r) {
        laid[r].rect = RECT{left, Y[r], right, Y[r] + rowH[r]};
        laid[r].below = below[r];
        keep = g.rows[r].box && g.rows[r].group;
    }
    for (size_t i = 0; keep && i < g.cells.size(); ++i) keep = g.cells[i].rowSpan == 1 && g.cells[i].colSpan == 1;
    g.kids.clear();
    for (size_t i = 0; keep && i < n->children.size(); ++i) {
        Box* k = n->children[i].get();
        TableGrid::Kid kid{k, k->element, k->style.display, HasBackground(k), 0, {}};
        if (k->element && k->style.display != Display::None) {
            keep = IsRowGroup(k->style.display);
            kid.firstRow = nrows;
            for (size_t r = 0; r < nrows; ++r)
                if (g.rows[r].group == k) {
                    kid.firstRow = r;
                    break;
                }
            for (auto& m : k->children) {
                if (m->element && m->style.display != Display::TableRow) keep = false;
                kid.members.push_back(m.get());
            }
        }
        g.kids.push_back(std::move(kid));
    }
    g.keepable = keep;
    bool stackless = plain;
    for (Box* c : g.captions) stackless = stackless && !c->style.IsPositioned();
    m_tableStackless = stackless;
    if (keep) {
        g.quirks = quirks;
        g.style = ts;
        g.width = width;
        g.X = std::move(X);
        g.Y = std::move(Y);
        g.rowH = std::move(rowH);
        g.above = std::move(above);
        g.laid = std::move(laid);
        g.itemStart = itemStart, g.itemEnd = itemEnd, g.hitStart = hitStart, g.hitEnd = hitEnd;
    } else {
        g.kids.clear();
    }
    n->tableGrid = keep ? m_tables[n] : nullptr;
    m_tables.erase(n);
    return bottom - y;
}

int Layouter::TableKept(Box* n, int key, int forceHeight, int* usedWidth) {
    std::shared_ptr<TableGrid> kept = n->tableGrid;
    if (!kept || !kept->keepable || !m_reuse || !n->ownsList || n->laidWidth != key || forceHeight >= 0 ||
        n->laidForcedHeight != forceHeight || n->keepsOut || m_tables.count(n) || !(n->style == kept->style))
        return -1;
    TableGrid& g = *kept;
    const size_t nrows = g.rows.size();
    // The same children, and in the groups that changed below them the same rows: those of them
    // that changed are the rows to lay out again (a row that did not has the same cells).
    if (n->children.size() != g.kids.size()) return -1;
    std::vector<size_t> dirty;
    std::vector<Box*> dirtyGroups;
    for (size_t i = 0; i < g.kids.size(); ++i) {
        const TableGrid::Kid& kid = g.kids[i];
        Box* k = n->children[i].get();
        if (k != kid.box || k->element != kid.element) return -1;
        if (!k->element || !k->needsLayout) continue;
        if (k->style.display != kid.display || HasBackground(k) != kid.background) return -1;
        if (!IsRowGroup(k->style.display)) return -1;
        if (k->children.size() != kid.members.size() || kid.firstRow >= nrows) return -1;
        size_t r = kid.firstRow;
        for (size_t j = 0; j < kid.members.size(); ++j) {
            Box* m = k->children[j].get();
            if (m != kid.members[j]) return -1;
            if (!m->element) continue;
            if (r >= nrows || g.rows[r].box != m || g.rows[r].group != k) return -1;
            if (m->needsLayout) {
                if (m->style.display != Display::TableRow) return -1;
                dirty.push_back(r);
            }
            ++r;
        }
        dirtyGroups.push_back(k);
    }
    // Many changed rows: the whole table is as quick.
    if (dirty.size() > nrows / 4 + 4) return -1;

    // The changed rows' cells: each as wide a need as the one it replaces, and the rows as tall,
    // or the table is laid out in full.
    std::unordered_map<HFONT, int> ascents;
    const int savedCbHeight = m_cbHeight, savedRaise = m_raise;
    m_cbHeight = -1;
    m_raise = 0;
    bool same = true;
    for (size_t r : dirty) {
        TableGrid::RowLaid& rl = g.laid[r];
        Box* row = g.rows[r].box;
        std::vector<Box*> cells;
        for (auto& c : row->children)
            if (c->element && !IsStructural(c->style.display)) cells.push_back(c.get());
        if (cells.size() != rl.cell1 - rl.cell0) {
            same = false;
            break;
        }
        int above = 0, below = 0, height = row->style.height.kind == Length::Px ? int(row->style.height.value) : 0;
        for (size_t i = 0; same && i < cells.size(); ++i) {
            TableCellSlot& c = g.cells[rl.cell0 + i];
            TableCellSlot fresh = c;
            fresh.box = cells[i];
            Box* cell = cells[i];
            if (!cell->spansRead) {
                cell->colSpanAttr = IntAttr(cell, "colspan", 1);
                cell->rowSpanAttr = IntAttr(cell, "rowspan", 1);
                cell->spansRead = true;
            }
            if (cell->colSpanAttr != 1 || cell->rowSpanAttr != 1 || cell->style.IsPositioned()) {
                same = false;
                break;
            }
            Contribution(*this, g, fresh);
            if (fresh.mn != c.mn || fresh.mx != c.mx || fresh.fixed != c.fixed || fresh.percent != c.percent) {
                same = false;
                break;
            }
            if (SizeCell(g, fresh, c.boxW, g.width, g.quirks, ascents)) {
                above = std::max(above, fresh.baseline);
                below = std::max(below, fresh.height - fresh.baseline);
            }
            if (cell->keepsOut) same = false;
            height = std::max(height, std::max(fresh.height, fresh.least));
            c = fresh;
        }
        if (above + below > 0) height = std::max(height, above + below);
        if (!same || height != g.rowH[r] || above != g.above[r] || below != rl.below) {
            same = false;
            break;
        }
    }
    m_cbHeight = savedCbHeight;
    m_raise = savedRaise;
    if (!same) {
        // Some slots may hold new cells now: the grid is made anew.
        n->tableGrid = nullptr;
        return -1;
    }

    // The changed rows' parts of the table's lists made anew in place of the old (the lists are
    // long: they are patched, not copied).
    std::sort(dirty.begin(), dirty.end());
    size_t built = 0;
    std::vector<PaintItem> items;
    std::vector<HitBox> hits;
    for (size_t d = 0; d < dirty.size(); ++d) {
        const size_t r = dirty[d];
        TableGrid::RowLaid& rl = g.laid[r];
        // Placed at the lists' ends first, then moved where the row's old part is.
        const size_t endItems = n->items.size(), endHits = n->hits.size();
        for (size_t i = rl.cell0; i < rl.cell1; ++i) {
            const size_t before = n->items.size();
            if (!PlaceCell(g, g.cells[i], g.X, g.Y, g.above, n)) {
                // It draws beyond its area: the table's extent takes it in, and the next change
                // lays the table out in full.
                RECT e = g.cells[i].box->extent;
                OffsetRect(&e, g.cells[i].box->origin.x, g.cells[i].box->origin.y);
                UnionRect(&n->extent, &n->extent, &e);
                g.keepable = false;
            }
            built += n->items.size() - before - 1;
        }
        items.assign(std::make_move_iterator(n->items.begin() + endItems), std::make_move_iterator(n->items.end()));
        hits.assign(n->hits.begin() + endHits, n->hits.end());
        n->items.resize(endItems);
        n->hits.resize(endHits);
        const size_t oldItems = rl.item1 - rl.item0, oldHits = rl.hit1 - rl.hit0;
        if (items.size() == oldItems) {
            std::move(items.begin(), items.end(), n->items.begin() + rl.item0);
        } else {
            n->items.erase(n->items.begin() + rl.item0, n->items.begin() + rl.item1);
            n->items.insert(n->items.begin() + rl.item0, std::make_move_iterator(items.begin()),
                            std::make_move_iterator(items.end()));
        }
        if (hits.size() == oldHits) {
            std::copy(hits.begin(), hits.end(), n->hits.begin() + rl.hit0);
        } else {
            n->hits.erase(n->hits.begin() + rl.hit0, n->hits.begin() + rl.hit1);
            n->hits.insert(n->hits.begin() + rl.hit0, hits.begin(), hits.end());
        }
        // The parts after it move with it.
        const ptrdiff_t di = ptrdiff_t(items.size()) - ptrdiff_t(oldItems);
        const ptrdiff_t dh = ptrdiff_t(hits.size()) - ptrdiff_t(oldHits);
        rl.item1 = rl.item0 + items.size();
        rl.hit1 = rl.hit0 + hits.size();
        if (di || dh) {
            for (size_t k = r + 1; k < nrows; ++k) {
                TableGrid::RowLaid& later = g.laid[k];
                later.item0 += di, later.item1 += di, later.hit0 += dh, later.hit1 += dh;
            }
            g.itemEnd += di, g.hitEnd += dh;
        }
        Box* row = g.rows[r].box;
        row->border = rl.rect;
        row->needsLayout = false;
        row->ownsList = false;
        row->items.clear();
        row->hits.clear();
    }
    for (Box* k : dirtyGroups) k->needsLayout = false;

    ++m_tree.laidOut;
    m_tree.itemsBuilt += built;
    n->needsLayout = false;
    if (usedWidth) *usedWidth = n->laidUsed;
    return n->laidHeight;
}

}  // namespace webview
