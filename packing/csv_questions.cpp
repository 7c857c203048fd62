// SPDX-License-Identifier: GPL-3.0-or-later
// Questions tables through libcsv (quoted separators and line breaks, RFC
// 4180). The separator is whichever of comma, semicolon and tab the header
// line holds most. Every problem of the file is collected; none stops the
// reading of the rows after it.
#include "packing/csv_questions.h"

#include <csv.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <set>

#include "module/format.h"
#include "platform/utf16.h"

namespace rvlpack {

using Json = nlohmann::ordered_json;

namespace {

enum Column { TopicCol, PointsCol, QuestionCol, AnswerCol, TypeCol, MediaCol, AudioCol, FitCol, ColumnCount };

const struct {
    const char* english;
    const char* russian;  // nullptr: none
    bool required;
} kColumns[ColumnCount] = {{"topic", "тема", true},   {"points", "баллы", true}, {"question", "вопрос", true},
                           {"answer", "ответ", true}, {"type", "тип", false},    {"media", "файл", false},
                           {"audio", "звук", false},  {"fit", "кадр", false}};

const char* const kSaveAsUtf8 =
    "save it as .xlsx or .ods, or as CSV in UTF-8: in LibreOffice, \"Character set: Unicode (UTF-8)\" in the CSV "
    "dialog; in Excel, \"CSV UTF-8\"; in Google Sheets, download as CSV";

const char* const kColumnList = "topic, points, question, answer, type, media, audio, fit (or тема, баллы, вопрос, "
                                "ответ, тип, файл, звук, кадр)";

// Lower case for ASCII and Cyrillic, so that "Тема" and "TOPIC" name columns.
std::string lowered(const std::string& utf8) {
    std::wstring units = utf8ToUtf16(utf8);
    for (wchar_t& c : units) {
        if ((c >= L'A' && c <= L'Z') || (c >= 0x410 && c <= 0x42F)) c += 0x20;
        else if (c == 0x401) c = 0x451;
    }
    return utf16ToUtf8(units);
}

std::string trimmed(const std::string& text) {
    size_t a = text.find_first_not_of(" \t\r\n"), b = text.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? "" : text.substr(a, b - a + 1);
}

// The question type a media file's extension names, or "" when it names none.
std::string typeOfFile(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return "";
    std::string ext = lowered(name.substr(dot + 1));
    const struct { const char* type; std::vector<const char*> extensions; } kinds[] = {
        {"picture", {"png", "jpg", "jpeg", "gif", "bmp", "webp", "tif", "tiff"}},
        {"audio", {"wav", "ogg", "oga", "flac", "mp3", "m4a", "aac", "opus", "wma", "ac3"}},
        {"video", {"avi", "mp4", "m4v", "mkv", "webm", "mov", "wmv", "mpg", "mpeg"}}};
    for (const auto& kind : kinds)
        for (const char* e : kind.extensions)
            if (ext == e) return kind.type;
    return "";
}

// The manifest's word for a type cell in English or Russian, or the type's
// letter; anything else is handed on as it stands, for the manifest's reader
// to refuse.
std::string typeWord(const std::string& cell) {
    const struct { const char* word; const char* type; } words[] = {
        {"text", "text"},   {"текст", "text"}, {"t", "text"},  {"picture", "picture"}, {"картинка", "picture"},
        {"i", "picture"},   {"audio", "audio"}, {"звук", "audio"}, {"a", "audio"},     {"video", "video"},
        {"видео", "video"}, {"v", "video"}};
    std::string low = lowered(cell);
    for (const auto& w : words)
        if (low == w.word) return w.type;
    return cell;
}

// A fit cell's word in Russian as the manifest's; anything else as it stands.
std::string fitWord(const std::string& cell) {
    std::string low = lowered(cell);
    return low == "поля" ? "letterbox" : low == "растянуть" ? "stretch" : low == "как есть" ? "none" : cell;
}

// A points cell: a whole number becomes a JSON number, a fraction (100.5 or
// 100,5) a JSON fraction, anything else stays text, which the manifest's
// reader words as such.
Json pointsValue(const std::string& cell) {
    size_t digits = cell.find_first_not_of('-') == 1 ? 1 : 0;
    bool number = cell.size() > digits && cell.size() - digits <= 18 &&
                  cell.find_first_not_of("0123456789", digits) == std::string::npos;
    if (number) return Json(std::stoll(cell));
    std::string dotted = cell;
    std::replace(dotted.begin(), dotted.end(), ',', '.');
    char* end = nullptr;
    double value = cell.find_first_of("0123456789") == 0 ? strtod(dotted.c_str(), &end) : 0;
    return end && !*end && std::isfinite(value) ? Json(value) : Json(cell);
}

// Most bytes of a cell kept: the longest text the format holds (255 UTF-16
// units, 765 bytes of UTF-8) and a margin. Longer cells are refused, so
// the rest of them is never stored.
const size_t maxCellBytes = 1024;

struct Parsed {
    std::vector<std::vector<std::string>> rows;  // a blank line is a row without cells
    std::vector<std::string> current;
    int lastEnd = 0;
    std::map<std::pair<size_t, size_t>, uint64_t> longCells;  // (row, column) -> its whole length in bytes
    size_t keptOfCell = 0;   // bytes kept of the cell being read, when it is cut
    uint64_t cutOfCell = 0;  // bytes of it dropped so far

    // Past a count the format cannot hold, rows are only counted: the
    // topic column (from the header), the questions of each topic.
    bool headerSeen = false;
    size_t filledBeforeHeader = 0;  // rows that are not blank, up to the header
    int topicColumn = -1;
    std::string topic;
    std::map<std::string, size_t> questionsOf;
    size_t keptRows = 0;  // rows kept: the table up to the first row over a limit
    size_t overRow = 0;   // that row (from 1), or 0
    std::string overTopic;  // the topic over 255 questions; "" for the 256th topic
};

void onField(void* field, size_t size, void* data) {
    Parsed* parsed = static_cast<Parsed*>(data);
    const char* text = static_cast<const char*>(field);
    if (parsed->cutOfCell || size > maxCellBytes) {
        parsed->longCells[{parsed->rows.size(), parsed->current.size()}] = size + parsed->cutOfCell;
        if (!parsed->cutOfCell)  // whole within one piece of input: cut at a character's start
            parsed->keptOfCell = utf8CharacterStart(text, maxCellBytes);
        size = parsed->keptOfCell;
        parsed->cutOfCell = 0;
    }
    parsed->current.emplace_back(text, size);
}

// Cuts the cell libcsv is gathering back to maxCellBytes, at a character's
// start; called between pieces of input.
void boundCell(csv_parser& parser, Parsed& parsed) {
    if (parser.entry_pos <= maxCellBytes) return;
    if (!parsed.cutOfCell) parsed.keptOfCell = utf8CharacterStart(reinterpret_cast<const char*>(parser.entry_buf), maxCellBytes);
    parsed.cutOfCell += parser.entry_pos - parsed.keptOfCell;
    parser.entry_pos = parsed.keptOfCell;
}

// A title above the header is skipped: the header is the first of this many
// rows (blank ones not counted) that names every column needed.
const size_t headerSearchRows = 5;

// Counts the row's question against the limits; false once a limit is
// passed, when the row is not kept.
bool countRow(Parsed& parsed, const std::vector<std::string>& row) {
    size_t number = parsed.rows.size() + 1;
    bool blank = true;
    for (const std::string& cell : row) blank = blank && trimmed(cell).empty();
    if (!parsed.headerSeen) {  // blank lines and titles before the header are no rows of questions
        for (size_t c = 0; c < row.size(); ++c) {
            std::string name = lowered(trimmed(row[c]));
            if (name == "topic" || name == "тема") parsed.topicColumn = static_cast<int>(c);
        }
        parsed.filledBeforeHeader += blank ? 0 : 1;
        parsed.headerSeen = parsed.topicColumn >= 0 || parsed.filledBeforeHeader >= headerSearchRows;
        return true;
    }
    size_t at = size_t(parsed.topicColumn);
    if (!blank && parsed.topicColumn >= 0 && at < row.size() && !row[at].empty()) parsed.topic = row[at];
    if (blank || parsed.topicColumn < 0 || parsed.topic.empty()) return !parsed.overRow;
    bool alone = true;  // a row naming its topic alone holds no question
    for (size_t c = 0; c < row.size(); ++c) alone = alone && (c == at || trimmed(row[c]).empty());
    bool known = parsed.questionsOf.count(parsed.topic) != 0;
    size_t& questions = parsed.questionsOf[parsed.topic];
    questions += alone ? 0 : 1;
    if (!parsed.overRow && (questions > rvlformat::kMaxAsks || (!known && parsed.questionsOf.size() > rvlformat::kMaxTopics))) {
        parsed.overRow = number;
        parsed.overTopic = questions > rvlformat::kMaxAsks ? parsed.topic : "";
    }
    return !parsed.overRow;
}

void addRow(Parsed& parsed, std::vector<std::string> row);

// Every line end outside quotes ends a row, so that row numbers are the
// spreadsheet's even past blank lines; the LF of a CR LF ends nothing more.
void onRow(int end, void* data) {
    Parsed* parsed = static_cast<Parsed*>(data);
    bool crlf = end == '\n' && parsed->lastEnd == '\r' && parsed->current.empty();
    parsed->lastEnd = end;
    if (crlf) return;
    addRow(*parsed, std::move(parsed->current));
    parsed->current.clear();
}

void addRow(Parsed& parsed, std::vector<std::string> row) {
    if (countRow(parsed, row)) parsed.keptRows = parsed.rows.size() + 1;
    // Rows past the limit keep only their place, for the row numbers.
    parsed.rows.emplace_back(parsed.overRow ? std::vector<std::string>() : std::move(row));
}

int noSpaces(unsigned char) { return 0; }  // cells keep their spaces; columns that need it trim

} // namespace

std::string foldedCase(const std::string& utf8) { return lowered(utf8); }

std::string TablePlaces::row(size_t topic, size_t question) const {
    int number = topic < rows.size() && question < rows[topic].size() ? rows[topic][question] : 0;
    return file + " row " + std::to_string(number);
}

std::string TablePlaces::topicRow(size_t topic) const {
    return file + " row " + std::to_string(topic < topicRows.size() ? topicRows[topic] : 0) + column("name");
}

std::string TablePlaces::column(const std::string& key) const {
    auto it = columns.find(key);
    return it == columns.end() ? "" : ", column \"" + it->second + "\"";
}

namespace {

bool readRows(Parsed& parsed, char separator, Json& topics, TablePlaces& places, std::vector<Finding>& issues,
              size_t errorsBefore);

void startTable(const std::string& path, Json& topics, TablePlaces& places) {
    topics = Json::array();
    places = TablePlaces{};
    places.file = shownPath(path.substr(path.rfind('/') + 1));
}

} // namespace

bool readSheetQuestions(SheetCells& sheet, const std::string& path, Json& topics, TablePlaces& places,
                        std::vector<Finding>& issues) {
    size_t errorsBefore = countFindings(issues, Severity::Error);
    startTable(path, topics, places);
    Parsed parsed;
    parsed.longCells = std::move(sheet.longCells);
    for (std::vector<std::string>& row : sheet.rows) addRow(parsed, std::move(row));
    sheet.rows.clear();
    return readRows(parsed, 0, topics, places, issues, errorsBefore);
}

bool SheetCells::put(size_t row, size_t column, const std::string& text, std::string& why) {
    if (row >= maxSheetRows || column >= maxSheetColumns) {
        why = row >= maxSheetRows ? "the sheet has cells in row " + std::to_string(row + 1) + ", a questions table has at most " +
                                        std::to_string(maxSheetRows) + " rows; split it into several packs"
                                  : "the sheet has cells in column " + std::to_string(column + 1) +
                                        ", a questions table reads at most " + std::to_string(maxSheetColumns) +
                                        "; clear the cells right of the questions";
        return false;
    }
    size_t keep = text.size() > maxCellBytes ? utf8CharacterStart(text.data(), maxCellBytes) : text.size();
    if (keep < text.size()) longCells[{row, column}] = text.size();
    bytes += keep + sizeof(std::string);
    if (bytes > maxSheetBytes) {
        why = "the sheet's cells come to more than " + std::to_string(maxSheetBytes >> 20) +
              " MB; a questions table needs far less; delete what is not questions";
        return false;
    }
    if (rows.size() <= row) rows.resize(row + 1);
    if (rows[row].size() <= column) rows[row].resize(column + 1);
    rows[row][column] = text.substr(0, keep);
    return true;
}

bool readCsvQuestions(const std::vector<uint8_t>& bytes, const std::string& path, Json& topics, TablePlaces& places,
                      std::vector<Finding>& issues) {
    size_t errorsBefore = countFindings(issues, Severity::Error);
    startTable(path, topics, places);
    auto error = [&](const std::string& where, const std::string& text) {
        addFinding(issues, Severity::Error, where, text);
        return false;
    };
    // UTF-16 has a BOM, or NUL bytes between the letters of its header.
    auto firstLine = std::find(bytes.begin(), bytes.end(), '\n');
    if ((bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) ||
        std::count(bytes.begin(), firstLine, 0) > 0)
        return error(places.file, std::string("the table is UTF-16 text; ") + kSaveAsUtf8);
    size_t start = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
    size_t headerStart = start;
    while (headerStart < bytes.size() && strchr(" \t\r\n", bytes[headerStart]) && bytes[headerStart]) ++headerStart;
    auto headerEnd = std::find(bytes.begin() + headerStart, bytes.end(), '\n');
    char separator = ',';
    long most = 0;
    for (char s : {',', ';', '\t'}) {
        long n = std::count(bytes.begin() + headerStart, headerEnd, s);
        if (n > most) most = n, separator = s;
    }

    Parsed parsed;
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0)
        return error(places.file, "csv_init failed: out of memory");
    csv_set_delim(&parser, static_cast<unsigned char>(separator));
    csv_set_space_func(&parser, noSpaces);
    // In pieces, so that no cell grows past maxCellBytes between them.
    const size_t piece = 65536;
    bool readable = true;
    for (size_t at = start; readable && at < bytes.size(); at += piece) {
        size_t size = std::min(piece, bytes.size() - at);
        readable = csv_parse(&parser, bytes.data() + at, size, onField, onRow, &parsed) == size;
        boundCell(parser, parsed);
    }
    readable = readable && csv_fini(&parser, onField, onRow, &parsed) == 0;
    std::string why = readable ? "" : csv_strerror(csv_error(&parser));
    csv_free(&parser);
    if (!readable)
        return error(places.file + " row " + std::to_string(parsed.rows.size() + 1),
                     "the table cannot be read here (libcsv: " + why +
                         "); a quote is not closed, or stands inside a cell that does not start with one; fix the "
                         "quotes, or save the table again from the spreadsheet");
    return readRows(parsed, separator, topics, places, issues, errorsBefore);
}

namespace {

// The table's rows, however they were read, into topics. A separator of 0
// stands for a spreadsheet's own cells.
bool readRows(Parsed& parsed, char separator, Json& topics, TablePlaces& places, std::vector<Finding>& issues,
              size_t errorsBefore) {
    auto error = [&](const std::string& where, const std::string& text) {
        addFinding(issues, Severity::Error, where, text);
        return false;
    };
    for (size_t r = 0; r < parsed.rows.size(); ++r) {
        for (size_t c = 0; c < parsed.rows[r].size(); ++c) {
            if (!isValidUtf8(parsed.rows[r][c]))
                return error(places.file + " row " + std::to_string(r + 1) + ", column " + std::to_string(c + 1),
                             std::string("the table is not UTF-8 text but a Windows code page, as Excel's plain "
                                         "\"CSV\" saves it; ") + kSaveAsUtf8);
        }
    }
    if (parsed.rows.empty()) return error(places.file, "the table is empty; give a header row and a row per question");

    // The header, past any blank lines: which column holds what.
    size_t headerRow = 0;
    auto blankRow = [](const std::vector<std::string>& row) {
        return std::all_of(row.begin(), row.end(), [](const std::string& f) { return trimmed(f).empty(); });
    };
    while (headerRow + 1 < parsed.rows.size() && blankRow(parsed.rows[headerRow])) ++headerRow;
    auto namesAll = [](const std::vector<std::string>& row) {
        int named = 0;
        for (const std::string& cell : row)
            for (const auto& c : kColumns)
                named += c.required && (lowered(trimmed(cell)) == c.english || lowered(trimmed(cell)) == c.russian);
        return named == 4;
    };
    for (size_t r = headerRow, filled = 0; r < parsed.keptRows && filled < headerSearchRows; ++r) {
        if (namesAll(parsed.rows[r])) {
            if (r != headerRow)
                addFinding(issues, Severity::Note, places.file + " row " + std::to_string(r + 1),
                         "the header is taken from this row, the first that names every needed column; the rows "
                         "above it are left out");
            headerRow = r;
            break;
        }
        filled += blankRow(parsed.rows[r]) ? 0 : 1;
    }
    const std::string headerPlace = places.file + " row " + std::to_string(headerRow + 1);
    const std::vector<std::string>& header = parsed.rows[headerRow];
    int at[ColumnCount];
    std::fill(std::begin(at), std::end(at), -1);
    for (size_t c = 0; c < header.size(); ++c) {
        std::string name = lowered(trimmed(header[c]));
        std::string where = headerPlace + ", column \"" + shownPath(trimmed(header[c])) + "\"";
        int found = -1;
        for (int k = 0; k < ColumnCount; ++k)
            if (name == kColumns[k].english || (kColumns[k].russian && name == kColumns[k].russian)) found = k;
        if (found >= 0 && at[found] >= 0)
            error(where, "a second " + std::string(kColumns[found].english) + " column; keep one");
        else if (found >= 0)
            at[found] = static_cast<int>(c);
        else if (!name.empty())
            addFinding(issues, Severity::Warning, where,
                     "unknown column is ignored; check its name (the columns are " + std::string(kColumnList) + ")");
    }
    for (int k = 0; k < ColumnCount; ++k) {
        if (kColumns[k].required && at[k] < 0)
            error(headerPlace, "the header has no " + std::string(kColumns[k].english) + " (" +
                                              kColumns[k].russian + ") column; add it");
    }
    if (countFindings(issues, Severity::Error) != errorsBefore) return false;
    auto headerOf = [&](Column c) { return shownPath(trimmed(header[at[c]])); };
    const struct { const char* key; Column column; } keyColumns[] = {
        {"name", TopicCol},   {"points", PointsCol}, {"question", QuestionCol}, {"answer", AnswerCol},
        {"type", TypeCol},    {"media", MediaCol},   {"video", MediaCol},       {"audio", AudioCol},
        {"fit", FitCol}};
    for (const auto& kc : keyColumns)
        if (at[kc.column] >= 0) places.columns[kc.key] = headerOf(kc.column);

    // One question a row; an empty topic cell continues the topic above, as
    // merged cells of a spreadsheet are exported.
    std::map<std::string, size_t> topicIndex;
    std::string topic;
    for (size_t r = headerRow + 1; r < parsed.keptRows; ++r) {
        std::vector<std::string>& row = parsed.rows[r];
        std::string rowPlace = places.file + " row " + std::to_string(r + 1);
        auto cell = [&](Column c) { return at[c] >= 0 && size_t(at[c]) < row.size() ? row[size_t(at[c])] : ""; };
        auto place = [&](Column c) { return rowPlace + ", column \"" + headerOf(c) + "\""; };
        // A cell too long for any text is refused by its length alone; the
        // start of it stays, to name the question by.
        for (auto it = parsed.longCells.lower_bound({r, 0}); it != parsed.longCells.end() && it->first.first == r; ++it) {
            size_t c = it->first.second;
            error(rowPlace + (c < header.size() ? ", column \"" + shownPath(trimmed(header[c])) + "\"" : ""),
                  "the cell holds " + std::to_string(it->second) + " bytes, more than " +
                      std::to_string(rvlformat::kMaxTextUnits) + " characters, and a text holds at most " +
                      std::to_string(rvlformat::kMaxTextUnits) + " UTF-16 units; shorten it");
            std::wstring start = utf8ToUtf16(row[c]).substr(0, rvlformat::kMaxTextUnits);
            if (!start.empty() && isHighSurrogate(start.back())) start.pop_back();
            row[c] = utf16ToUtf8(start);
        }
        if (std::all_of(row.begin(), row.end(), [](const std::string& f) { return trimmed(f).empty(); })) continue;
        // One cell where the header has several: the row was written with
        // another separator than the header.
        for (char other : {',', ';', '\t'}) {
            if (separator && other != separator && header.size() > 1 && row.size() == 1 && row[0].find(other) != std::string::npos) {
                addFinding(issues, Severity::Warning, rowPlace,
                         std::string("the row is one cell holding \"") + (other == '\t' ? "\\t" : std::string(1, other)) +
                             "\", while the header is separated by \"" + (separator == '\t' ? "\\t" : std::string(1, separator)) +
                             "\"; it is read as a topic name; save the table again with one separator");
                break;
            }
        }
        for (size_t c = header.size(); c < row.size(); ++c) {
            if (!trimmed(row[c]).empty() && !separator) {
                addFinding(issues, Severity::Warning, rowPlace + ", column " + std::to_string(c + 1),
                         "the cell is right of the header's last column and is ignored; give its column a header");
                break;
            }
            if (!trimmed(row[c]).empty()) {
                error(rowPlace + ", column " + std::to_string(c + 1),
                      "the row has " + std::to_string(row.size()) + " cells, the header " +
                          std::to_string(header.size()) + "; put a text holding \"" + std::string(1, separator) +
                          "\" in double quotes");
                break;
            }
        }
        if (!cell(TopicCol).empty()) {
            topic = cell(TopicCol);
        } else if (topics.empty()) {
            error(place(TopicCol), "the first question has no topic; give its topic");
            continue;
        }
        auto found = topicIndex.find(topic);
        if (found == topicIndex.end()) {
            found = topicIndex.emplace(topic, topics.size()).first;
            topics.push_back(Json{{"name", topic}, {"questions", Json::array()}});
            places.rows.emplace_back();
            places.topicRows.push_back(static_cast<int>(r + 1));
        }
        // A row that names its topic alone gives a topic without questions.
        bool topicAlone = true;
        for (size_t c = 0; c < row.size(); ++c)
            topicAlone = topicAlone && (int(c) == at[TopicCol] || trimmed(row[c]).empty());
        if (topicAlone) continue;
        Json q;
        std::string media = trimmed(cell(MediaCol)), audio = trimmed(cell(AudioCol)), type = trimmed(cell(TypeCol));
        if (!type.empty()) {
            q["type"] = typeWord(type);
        } else if (media.empty()) {
            q["type"] = "text";
        } else if (!typeOfFile(media).empty()) {
            q["type"] = typeOfFile(media);
        } else {
            error(place(MediaCol), "cannot tell the question type from the file name \"" + shownPath(media) +
                                       "\"; give it in a type column: text, picture, audio or video");
            q["type"] = "text";
            media.clear();
        }
        q["question"] = cell(QuestionCol);
        q["answer"] = cell(AnswerCol);
        std::string points = trimmed(cell(PointsCol));
        if (!points.empty()) q["points"] = pointsValue(points);
        if (q["type"] == "video") {
            if (!media.empty()) q["video"] = media;
            if (lowered(audio) == "none" || lowered(audio) == "нет")
                q["audio"] = nullptr;
            else if (!audio.empty())
                q["audio"] = audio;
        } else {
            if (!media.empty()) q["media"] = media;
            if (!audio.empty()) q["audio"] = audio;
        }
        if (!trimmed(cell(FitCol)).empty()) q["fit"] = fitWord(trimmed(cell(FitCol)));
        topics[found->second]["questions"].push_back(q);
        places.rows[found->second].push_back(static_cast<int>(r + 1));
    }
    if (parsed.overRow) {
        places.overLimit = true;
        std::string rest = "; the rows after row " + std::to_string(parsed.overRow - 1) + " were only counted";
        size_t over = parsed.overTopic.empty() ? parsed.questionsOf.size() : parsed.questionsOf[parsed.overTopic];
        size_t most = parsed.overTopic.empty() ? rvlformat::kMaxTopics : rvlformat::kMaxAsks;
        error(places.file + " row " + std::to_string(parsed.overRow),
              (parsed.overTopic.empty() ? "the table has " + std::to_string(over) + " topics, a pack holds at most "
                                        : "the topic \"" + shownPath(parsed.overTopic) + "\" has " +
                                              std::to_string(over) + " questions, a topic holds at most ") +
                  std::to_string(most) + " (" + std::to_string(over - most) + " too many); " +
                  (parsed.overTopic.empty() ? "split the table into two packs" : "move some into another topic") +
                  rest);
    }
    return countFindings(issues, Severity::Error) == errorsBefore;
}

} // namespace

void placeByRows(std::vector<Finding>& issues, const TablePlaces& places) {
    if (places.empty()) return;
    for (Finding& issue : issues) {
        std::string& where = issue.where;
        for (size_t t = 0; t < places.rows.size(); ++t) {
            std::string topic = topicPlace(t);
            if (where.compare(0, topic.size(), topic) != 0) continue;
            std::string rest = where.substr(topic.size());
            if (!rest.empty() && rest[0] != ' ') continue;  // "topic 1" is not the start of "topic 12"
            size_t q = 0;
            if (sscanf(rest.c_str(), " question %zu", &q) == 1 && q >= 1 && q <= places.rows[t].size()) {
                std::string question = questionPlace(t, q - 1);
                rest = where.substr(question.size());
                if (rest.empty() || rest[0] < '0' || rest[0] > '9') where = places.row(t, q - 1) + rest;
            } else {
                where = places.topicRow(t) + rest;
            }
            break;
        }
    }
}

bool csvFromTopics(const Json& topics, std::string& csv, std::string& whyNot, std::vector<Finding>* formulas) {
    int row = 1;  // the header
    auto cell = [&](const std::string& text, const char* column = "topic") {
        if (formulas && !text.empty() && std::string("=+-@").find(text[0]) != std::string::npos)
            addFinding(*formulas, Severity::Warning, "questions.csv row " + std::to_string(row) + ", column \"" + column + "\"",
                     "the cell starts with \"" + text.substr(0, 1) +
                         "\", and a spreadsheet opening the table may run it as a formula; check it before saving "
                         "the table from a spreadsheet");
        if (text.find_first_of(",;\t\"\r\n") == std::string::npos) return text;
        std::string quoted(text.size() * 2 + 2, '\0');
        quoted.resize(csv_write(&quoted[0], quoted.size(), text.data(), text.size()));
        return quoted;
    };
    bool fits = false;  // a fit column, for the videos
    for (const Json& topic : topics)
        for (const Json& q : topic.at("questions")) fits = fits || q.contains("fit");
    csv = std::string("\xEF\xBB\xBFtopic,points,question,answer,type,media,audio") + (fits ? ",fit" : "") + "\r\n";
    std::set<std::string> seen;
    for (const Json& topic : topics) {
        if (!topic.at("name").is_string()) {
            whyNot = "a topic name holds UTF-16 units that UTF-8 cannot carry";
            return false;
        }
        std::string name = topic.at("name");
        const Json& questions = topic.at("questions");
        if (trimmed(name).empty() || !seen.insert(name).second) {
            whyNot = name.empty()          ? "a topic has no name"
                     : trimmed(name).empty() ? "a topic's name is only blanks or line breaks, which a table reads as none"
                                             : "two topics are named \"" + shownPath(name) + "\"";
            return false;
        }
        if (questions.empty()) ++row, csv += cell(name) + ",,,,,," + (fits ? "," : "") + "\r\n";  // a topic without questions
        for (const Json& q : questions) {
            if (!q.at("type").is_string() || !q.at("question").is_string() || !q.at("answer").is_string()) {
                whyNot = "a question of \"" + name + "\" has a type byte or texts that a table cannot hold";
                return false;
            }
            std::string type = q.at("type"), media, audio;
            if (type == "video") {
                media = q.value("video", "");
                audio = q.contains("audio") && q.at("audio").is_null() ? "none" : q.value("audio", "");
            } else {
                media = q.value("media", "");
            }
            ++row;
            csv += cell(name) + "," + std::to_string(q.at("points").get<int>()) + "," + cell(q.at("question"), "question") +
                   "," + cell(q.at("answer"), "answer") + "," + type + "," + cell(media, "media") + "," +
                   cell(audio, "audio") + (fits ? "," + q.value("fit", "") : "") + "\r\n";
        }
    }
    return true;
}

} // namespace rvlpack
