// SPDX-License-Identifier: GPL-3.0-or-later
// The first sheet of an .xlsx workbook: the workbook names its sheets, its
// relationships where their parts are; texts are in the shared strings or
// inline, numbers and dates in the cells, styles tell a date from a number.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>

#include "packing/sheet_parts.h"
#include "packing/sheet_questions.h"
#include "platform/texts.h"

namespace rvlpack {

namespace {

// Every text of an <si> or <is>: plain, or in runs; phonetic guides left out.
// Nesting deeper than a few levels holds no text of a real workbook.
std::string gatheredText(const pugi::xml_node& node, int depth = 0) {
    std::string text;
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element || named(child, "rPh") || depth > 8) continue;
        text += named(child, "t") ? child.text().get() : gatheredText(child, depth + 1);
    }
    return text;
}

// Where a relationship's target lies in the archive.
std::string partPath(const std::string& target) {
    return target.empty() ? "" : target[0] == '/' ? target.substr(1) : "xl/" + target;
}

// Whether a number format shows dates: the built-in date formats, or a
// format of days, months or years (quoted and bracketed parts left out).
bool dateFormat(unsigned id, const std::string& code) {
    if ((id >= 14 && id <= 17) || id == 22) return true;
    bool quoted = false, bracket = false, date = false, time = false;
    for (size_t i = 0; i < code.size(); ++i) {
        char c = static_cast<char>(tolower(static_cast<unsigned char>(code[i])));
        if (c == '"') quoted = !quoted;
        else if (quoted) continue;
        else if (c == '\\') ++i;
        else if (c == '[') bracket = true;
        else if (c == ']') bracket = false;
        else if (!bracket) date = date || c == 'd' || c == 'y' || c == 'm', time = time || c == 'h' || c == 's';
    }
    return date && (!time || code.find_first_of("dDyY") != std::string::npos);
}

// A day count from 1970-01-01 as YYYY-MM-DD.
std::string isoDate(int64_t days) {
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t doe = days - era * 146097, yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
    int64_t day = doy - (153 * mp + 2) / 5 + 1, month = mp < 10 ? mp + 3 : mp - 9, year = yoe + era * 400 + (month <= 2);
    char text[64];
    snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(year), static_cast<long long>(month),
             static_cast<long long>(day));
    return text;
}

// A date cell's serial number as YYYY-MM-DD; the 1900 system counts the
// 29th of February 1900, which never was.
std::string serialDate(const std::string& value, bool from1904) {
    char* end = nullptr;
    double serial = strtod(value.c_str(), &end);
    if (value.empty() || *end || !(serial >= 0 && serial < 3e6)) return numberText(value);
    int64_t whole = static_cast<int64_t>(serial);
    if (from1904) return isoDate(whole - 24107);
    if (whole == 60) return "1900-02-29";
    return isoDate(whole - (whole < 60 ? 25568 : 25569));
}

// "B12" -> column 1 (from 0); false for anything else.
bool cellColumn(const char* ref, size_t& column) {
    size_t value = 0, letters = 0;
    for (; *ref >= 'A' && *ref <= 'Z'; ++ref, ++letters) value = value * 26 + size_t(*ref - 'A' + 1);
    if (letters == 0 || letters > 3) return false;
    column = value - 1;
    return true;
}

} // namespace

bool readXlsxSheet(const std::vector<uint8_t>& bytes, SheetCells& sheet, std::string& why) {
    SheetArchive archive(bytes);
    if (!archive.opened()) {
        why = archive.openError();
        return false;
    }
    pugi::xml_document workbook, relations, strings, styles, worksheet;
    if (!archive.readXml("xl/workbook.xml", workbook, why)) return false;
    pugi::xml_node root = childNamed(workbook, "workbook");
    pugi::xml_node first = childNamed(childNamed(root, "sheets"), "sheet");
    if (!first) {
        why = tr("the workbook names no sheet");
        return false;
    }
    std::string properties = attributeNamed(childNamed(root, "workbookPr"), "date1904").value();
    bool from1904 = properties == "1" || properties == "true";
    // The parts by their relationships, else where spreadsheets put them.
    std::string sheetPath = "xl/worksheets/sheet1.xml", stringsPath = "xl/sharedStrings.xml", stylesPath = "xl/styles.xml";
    std::string id = attributeNamed(first, "id").value();
    if (archive.readXml("xl/_rels/workbook.xml.rels", relations, why)) {
        for (pugi::xml_node r : childNamed(relations, "Relationships").children()) {
            std::string type = attributeNamed(r, "Type").value(), target = partPath(attributeNamed(r, "Target").value());
            if (attributeNamed(r, "Id").value() == id) sheetPath = target;
            if (type.size() > 14 && type.compare(type.size() - 14, 14, "/sharedStrings") == 0) stringsPath = target;
            if (type.size() > 7 && type.compare(type.size() - 7, 7, "/styles") == 0) stylesPath = target;
        }
    }
    if (!archive.readXml(sheetPath, worksheet, why)) return false;
    std::vector<std::string> shared;
    if (archive.has(stringsPath)) {
        if (!archive.readXml(stringsPath, strings, why)) return false;
        for (pugi::xml_node si : childNamed(strings, "sst").children())
            if (named(si, "si")) shared.push_back(gatheredText(si));
        strings.reset();
    }
    std::vector<bool> dateStyle;  // by a cell's style number
    if (archive.has(stylesPath)) {
        if (!archive.readXml(stylesPath, styles, why)) return false;
        pugi::xml_node sheetStyles = childNamed(styles, "styleSheet");
        std::map<unsigned, std::string> formats;
        for (pugi::xml_node f : childNamed(sheetStyles, "numFmts").children())
            formats[attributeNamed(f, "numFmtId").as_uint()] = attributeNamed(f, "formatCode").value();
        for (pugi::xml_node xf : childNamed(sheetStyles, "cellXfs").children()) {
            if (!named(xf, "xf")) continue;
            unsigned format = attributeNamed(xf, "numFmtId").as_uint();
            dateStyle.push_back(dateFormat(format, formats[format]));
        }
    }

    size_t row = 0;
    for (pugi::xml_node r : childNamed(childNamed(worksheet, "worksheet"), "sheetData").children()) {
        if (!named(r, "row")) continue;
        // Rows and cells name their place, or follow the one before.
        unsigned long number = attributeNamed(r, "r").as_ullong(row + 1);
        if (number < row + 1) {
            why = format(tr("row %lu comes after row %lu"), number, static_cast<unsigned long>(row));
            return false;
        }
        row = number;
        size_t column = 0;
        for (pugi::xml_node c : r.children()) {
            if (!named(c, "c")) continue;
            pugi::xml_attribute ref = attributeNamed(c, "r");
            size_t at = column;
            if (ref && !cellColumn(ref.value(), at)) {
                why = format(tr("a cell of row %lu is named \"%s\""), static_cast<unsigned long>(row),
                             shownPath(ref.value()).c_str());
                return false;
            }
            column = at + 1;
            std::string type = attributeNamed(c, "t").value(), value = childNamed(c, "v").text().get(), text;
            if (type == "s") {
                unsigned long index = strtoul(value.c_str(), nullptr, 10);
                if (value.empty() || index >= shared.size()) {
                    why = format(tr("a cell of row %lu names shared text %s, which is missing"),
                                 static_cast<unsigned long>(row), value.c_str());
                    return false;
                }
                text = shared[index];
            } else if (type == "inlineStr") {
                text = gatheredText(childNamed(c, "is"));
            } else if (type == "b") {
                text = value == "1" ? "TRUE" : "FALSE";
            } else if (type == "d") {
                text = value.substr(0, 10);
            } else if (type == "str" || type == "e") {
                text = value;
            } else {
                unsigned style = attributeNamed(c, "s").as_uint();
                text = style < dateStyle.size() && dateStyle[style] ? serialDate(value, from1904) : numberText(value);
            }
            if (!text.empty() && !sheet.put(row - 1, at, text, why)) return false;
        }
    }
    return true;
}

} // namespace rvlpack
