// SPDX-License-Identifier: GPL-3.0-or-later
// The first table of an .ods spreadsheet's content.xml: rows and cells may
// stand for several by a repeat count, which the empty ones at the end of a
// sheet use by the million; those are counted, never spelled out.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "packing/sheet_parts.h"
#include "packing/sheet_questions.h"
#include "platform/texts.h"

namespace rvlpack {

namespace {

// Deepest nesting followed (spans in spans, groups of rows in groups); a
// real file has a few levels, and the walk must not run out of stack.
const int maxDepth = 32;

// A paragraph's text with its spaces, tabs and line breaks; notes left out.
void appendText(const pugi::xml_node& node, std::string& text, int depth = 0) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
        if (child.type() != pugi::node_element || named(child, "annotation")) continue;
        if (named(child, "s")) text.append(std::min(attributeNamed(child, "c").as_uint(1), 1024u), ' ');
        else if (named(child, "tab")) text += '\t';
        else if (named(child, "line-break")) text += '\n';
        else if (depth < maxDepth) appendText(child, text, depth + 1);
    }
}

std::string cellText(const pugi::xml_node& cell) {
    std::string type = attributeNamed(cell, "value-type").value();
    if (type == "float" || type == "percentage" || type == "currency") return numberText(attributeNamed(cell, "value").value());
    if (type == "date") return std::string(attributeNamed(cell, "date-value").value()).substr(0, 10);
    if (type == "boolean") return strcmp(attributeNamed(cell, "boolean-value").value(), "true") == 0 ? "TRUE" : "FALSE";
    if (attributeNamed(cell, "string-value")) return attributeNamed(cell, "string-value").value();
    std::string text;
    bool first = true;
    for (pugi::xml_node p : cell.children()) {
        if (!named(p, "p")) continue;
        if (!first) text += '\n';
        appendText(p, text);
        first = false;
    }
    return text;
}

// A repeat count: at least 1.
uint64_t repeats(const pugi::xml_node& node, const char* attribute) {
    return std::max<uint64_t>(1, attributeNamed(node, attribute).as_ullong(1));
}

struct TableWalk {
    SheetCells& sheet;
    std::string& why;
    uint64_t row = 0;  // the next row's index, from 0

    // A row's cells, repeated; empty rows only move the count on.
    bool addRow(const pugi::xml_node& r) {
        std::vector<std::pair<uint64_t, std::string>> cells;  // column -> its text, only the filled ones
        uint64_t column = 0;
        for (pugi::xml_node c : r.children()) {
            if (!named(c, "table-cell") && !named(c, "covered-table-cell")) continue;
            uint64_t times = repeats(c, "number-columns-repeated");
            std::string text = cellText(c);
            if (!text.empty()) {
                if (column + times > maxSheetColumns) return sheet.put(0, maxSheetColumns, text, why);
                for (uint64_t k = 0; k < times; ++k) cells.emplace_back(column + k, text);
            }
            column = std::min<uint64_t>(column + times, UINT32_MAX);
        }
        uint64_t times = repeats(r, "number-rows-repeated");
        if (!cells.empty() && row + times > maxSheetRows) return sheet.put(maxSheetRows, 0, cells[0].second, why);
        for (uint64_t k = 0; !cells.empty() && k < times; ++k)
            for (const auto& [at, text] : cells)
                if (!sheet.put(size_t(row + k), size_t(at), text, why)) return false;
        row = std::min<uint64_t>(row + times, UINT32_MAX);
        return true;
    }

    // Rows, also those grouped as header rows or row groups.
    bool addRows(const pugi::xml_node& parent, int depth = 0) {
        if (depth > maxDepth) {
            why = format(tr("its groups of rows are nested more than %d deep"), int(maxDepth));
            return false;
        }
        for (pugi::xml_node child : parent.children()) {
            if (named(child, "table-row") ? !addRow(child)
                : named(child, "table-header-rows") || named(child, "table-row-group") || named(child, "table-rows")
                    ? !addRows(child, depth + 1)
                    : false)
                return false;
        }
        return true;
    }
};

} // namespace

bool readOdsSheet(const std::vector<uint8_t>& bytes, SheetCells& sheet, std::string& why) {
    SheetArchive archive(bytes);
    if (!archive.opened()) {
        why = archive.openError();
        return false;
    }
    std::string mimetype;
    if (archive.has("mimetype") && archive.read("mimetype", mimetype, why) &&
        mimetype != "application/vnd.oasis.opendocument.spreadsheet") {
        why = format(tr("it holds a document of type %s, not a spreadsheet"), shownPath(mimetype.substr(0, 80)).c_str());
        return false;
    }
    pugi::xml_document content;
    if (!archive.readXml("content.xml", content, why)) return false;
    pugi::xml_node body = childNamed(childNamed(childNamed(content, "document-content"), "body"), "spreadsheet");
    pugi::xml_node table = childNamed(body, "table");
    if (!table) {
        why = tr("it holds no sheet");
        return false;
    }
    return TableWalk{sheet, why}.addRows(table);
}

} // namespace rvlpack
