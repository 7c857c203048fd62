// SPDX-License-Identifier: GPL-3.0-or-later
// Spreadsheet files for the tests, written out by hand.
#include "tests/support/spreadsheets.h"

#include <zip.h>

#include <algorithm>
#include <map>

namespace testing_support {

namespace {

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : std::string(1, c);
    return out;
}

std::string after(const std::string& cell, char bar) { return cell.substr(cell.find(bar) + 1); }
std::string before(const std::string& cell, char bar) { return cell.substr(1, cell.find(bar) - 1); }

std::string xlsxSheet(const std::vector<std::vector<std::string>>& grid, std::string& strings) {
    std::map<std::string, size_t> shared;
    std::string rows;
    for (size_t r = 0; r < grid.size(); ++r) {
        rows += "<row r=\"" + std::to_string(r + 1) + "\">";
        for (size_t c = 0; c < grid[r].size(); ++c) {
            const std::string& cell = grid[r][c];
            std::string ref = std::string(1, char('A' + c)) + std::to_string(r + 1);
            if (cell.empty()) continue;
            if (cell[0] == '#') rows += "<c r=\"" + ref + "\"><v>" + cell.substr(1) + "</v></c>";
            else if (cell[0] == '=') rows += "<c r=\"" + ref + "\"><f>" + before(cell, '|') + "</f><v>" + after(cell, '|') + "</v></c>";
            else if (cell[0] == '@') rows += "<c r=\"" + ref + "\" s=\"1\"><v>" + before(cell, '|') + "</v></c>";
            else {
                auto it = shared.emplace(cell, shared.size()).first;
                if (it->second + 1 == shared.size()) strings += "<si><t xml:space=\"preserve\">" + escaped(cell) + "</t></si>";
                rows += "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(it->second) + "</v></c>";
            }
        }
        rows += "</row>";
    }
    return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" + rows +
           "</sheetData><mergeCells count=\"1\"><mergeCell ref=\"A2:A5\"/></mergeCells></worksheet>";
}

std::string odsCell(const std::string& cell, size_t column, size_t times) {
    std::string repeat = times > 1 ? " table:number-columns-repeated=\"" + std::to_string(times) + "\"" : "";
    if (cell.empty()) return column == 0 ? "<table:covered-table-cell" + repeat + "/>" : "<table:table-cell" + repeat + "/>";
    std::string open = "<table:table-cell" + repeat, shown = cell;
    if (cell[0] == '#') open += " office:value-type=\"float\" office:value=\"" + (shown = cell.substr(1)) + "\"";
    else if (cell[0] == '=')
        open += " table:formula=\"of:" + before(cell, '|') + "\" office:value-type=\"float\" office:value=\"" +
                (shown = after(cell, '|')) + "\"";
    else if (cell[0] == '@') open += " office:value-type=\"date\" office:date-value=\"" + (shown = after(cell, '|')) + "\"";
    else open += " office:value-type=\"string\"";
    std::string paragraphs;
    for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
        end = shown.find('\n', start);
        paragraphs += "<text:p>" + escaped(shown.substr(start, end - start)) + "</text:p>";
    }
    return open + ">" + paragraphs + "</table:table-cell>";
}

std::string odsContent(const std::vector<std::vector<std::string>>& grid) {
    std::string rows;
    for (size_t r = 0; r < grid.size();) {
        size_t times = 1;
        while (r + times < grid.size() && grid[r + times] == grid[r]) ++times;
        rows += times > 1 ? "<table:table-row table:number-rows-repeated=\"" + std::to_string(times) + "\">"
                          : "<table:table-row>";
        const std::vector<std::string>& row = grid[r];
        for (size_t c = 0; c < row.size();) {
            size_t same = 1;
            while (c + same < row.size() && row[c + same] == row[c]) ++same;
            rows += odsCell(row[c], c, same);
            c += same;
        }
        rows += "<table:table-cell table:number-columns-repeated=\"16000\"/></table:table-row>";
        r += times;
    }
    return "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:spreadsheet>"
           "<table:table table:name=\"Вопросы\"><table:table-column table:number-columns-repeated=\"1024\"/>" +
           rows +
           "<table:table-row table:number-rows-repeated=\"1048000\"><table:table-cell "
           "table:number-columns-repeated=\"1024\"/></table:table-row></table:table><table:table table:name=\"Второй\">"
           "<table:table-row><table:table-cell><text:p>not read</text:p></table:table-cell></table:table-row>"
           "</table:table></office:spreadsheet></office:body></office:document-content>";
}

} // namespace

Bytes zipped(const std::vector<std::pair<std::string, std::string>>& parts) {
    zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, nullptr);
    zip_source_keep(source);
    zip_t* archive = zip_open_from_source(source, ZIP_TRUNCATE, nullptr);
    for (const auto& [name, text] : parts)
        zip_file_add(archive, name.c_str(), zip_source_buffer(archive, text.data(), text.size(), 0), ZIP_FL_ENC_UTF_8);
    zip_close(archive);
    Bytes bytes;
    zip_stat_t st;
    if (zip_source_stat(source, &st) == 0 && zip_source_open(source) == 0) {
        bytes.resize(st.size);
        bytes.resize(size_t(std::max<zip_int64_t>(0, zip_source_read(source, bytes.data(), bytes.size()))));
        zip_source_close(source);
    }
    zip_source_free(source);
    return bytes;
}

std::vector<std::pair<std::string, std::string>> sheetParts(bool ods, const std::vector<std::vector<std::string>>& grid) {
    if (ods) return {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", odsContent(grid)}};
    std::string strings, sheet = xlsxSheet(grid, strings);
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    return {{"xl/workbook.xml", "<workbook xmlns:r=\"" + rel.substr(0, rel.size() - 1) +
                                    "\"><sheets><sheet name=\"Вопросы\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
            {"xl/_rels/workbook.xml.rels",
             "<Relationships><Relationship Id=\"rId1\" Type=\"" + rel + "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
             "<Relationship Id=\"rId2\" Type=\"" + rel + "sharedStrings\" Target=\"/xl/strings.xml\"/>"
             "<Relationship Id=\"rId3\" Type=\"" + rel + "styles\" Target=\"styles.xml\"/></Relationships>"},
            {"xl/styles.xml", "<styleSheet><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>"},
            {"xl/strings.xml", "<sst>" + strings + "</sst>"},
            {"xl/worksheets/sheet1.xml", sheet}};
}

} // namespace testing_support
