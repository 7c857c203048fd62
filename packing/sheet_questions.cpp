// SPDX-License-Identifier: GPL-3.0-or-later
// Which reader a questions table goes to.
#include "packing/sheet_questions.h"

#include <cstring>
#include <nlohmann/json.hpp>

#include "packing/sheet_parts.h"
#include "platform/texts.h"

namespace rvlpack {

namespace {

std::string extension(const std::string& path) {
    size_t dot = path.rfind('.');
    std::string ext = dot == std::string::npos || path.find('/', dot) != std::string::npos ? "" : path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return ext;
}

bool startsWith(const std::vector<uint8_t>& bytes, const char* magic, size_t size) {
    return bytes.size() >= size && memcmp(bytes.data(), magic, size) == 0;
}

} // namespace

bool namesQuestionsTable(const std::string& path) {
    std::string ext = extension(path);
    return ext == "csv" || ext == "tsv" || ext == "xlsx" || ext == "xlsm" || ext == "ods" || ext == "xls";
}

bool readQuestionsTable(const std::vector<uint8_t>& bytes, const std::string& path, nlohmann::ordered_json& topics,
                        TablePlaces& places, std::vector<Finding>& issues) {
    const std::string ext = extension(path), file = shownPath(path.substr(path.rfind('/') + 1));
    topics = nlohmann::ordered_json::array();
    places = TablePlaces{};
    if (ext == "xls" || startsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
        addFinding(issues, Severity::Error, file,
                   tr("the file is an old binary Excel workbook (.xls); save it as .xlsx, .ods or CSV UTF-8"));
        return false;
    }
    bool zipped = startsWith(bytes, "PK\x03\x04", 4);
    if (!zipped && ext != "xlsx" && ext != "xlsm" && ext != "ods") return readCsvQuestions(bytes, path, topics, places, issues);
    SheetCells sheet;
    std::string why;
    bool ods = ext == "ods" || (ext != "xlsx" && ext != "xlsm" && SheetArchive(bytes).has("content.xml"));
    bool read = zipped && (ods ? readOdsSheet(bytes, sheet, why) : readXlsxSheet(bytes, sheet, why));
    if (!read) {
        if (!zipped) why = tr("it is no zip archive");
        // A limit's message says itself what to do.
        bool remedied = why.find(';') != std::string::npos;
        const char* message = ods ? remedied ? tr("the file cannot be read as an .ods spreadsheet: %s")
                                             : tr("the file cannot be read as an .ods spreadsheet: %s; open it in the "
                                                  "spreadsheet and save it as .xlsx, .ods or CSV UTF-8")
                                  : remedied ? tr("the file cannot be read as an .xlsx workbook: %s")
                                             : tr("the file cannot be read as an .xlsx workbook: %s; open it in the "
                                                  "spreadsheet and save it as .xlsx, .ods or CSV UTF-8");
        addFinding(issues, Severity::Error, file, format(message, why.c_str()));
        return false;
    }
    return readSheetQuestions(sheet, path, topics, places, issues);
}

} // namespace rvlpack
