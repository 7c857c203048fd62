// SPDX-License-Identifier: GPL-3.0-or-later
// Spreadsheet parts through libzip and pugixml.
#include "packing/sheet_parts.h"

#include <zip.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/texts.h"

namespace rvlpack {

SheetArchive::SheetArchive(const std::vector<uint8_t>& bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source) {
        archive = zip_open_from_source(source, ZIP_RDONLY, &error);
        if (!archive) zip_source_free(source);
    }
    if (!archive) whyNot = zip_error_strerror(&error);
    zip_error_fini(&error);
}

SheetArchive::~SheetArchive() {
    if (archive) zip_discard(archive);
}

bool SheetArchive::has(const std::string& name) const { return archive && zip_name_locate(archive, name.c_str(), 0) >= 0; }

bool SheetArchive::read(const std::string& name, std::string& text, std::string& why) const {
    text.clear();
    zip_stat_t st;
    zip_stat_init(&st);
    if (!archive || zip_stat(archive, name.c_str(), 0, &st) != 0) {
        why = format(tr("it has no %s"), name.c_str());
        return false;
    }
    auto tooBig = [&](uint64_t size) {
        why = format(tr("%s unpacks to %llu bytes, more than the %zu MB read of any part; a questions table needs far "
                        "less"),
                     name.c_str(), static_cast<unsigned long long>(size), size_t(maxSheetPartBytes >> 20));
        return false;
    };
    if ((st.valid & ZIP_STAT_SIZE) && st.size > maxSheetPartBytes) return tooBig(st.size);
    zip_file_t* file = zip_fopen(archive, name.c_str(), 0);
    if (!file) {
        why = format(tr("%s cannot be unpacked (%s)"), name.c_str(), zip_strerror(archive));
        return false;
    }
    // The stated size may lie: read no more than the limit and one byte.
    char piece[65536];
    zip_int64_t n = 0;
    while ((n = zip_fread(file, piece, sizeof piece)) > 0 && text.size() <= maxSheetPartBytes)
        text.append(piece, size_t(n));
    if (n < 0) why = format(tr("%s is damaged (%s)"), name.c_str(), zip_error_strerror(zip_file_get_error(file)));
    zip_fclose(file);
    if (n < 0) return false;
    return text.size() > maxSheetPartBytes ? tooBig(text.size()) : true;
}

bool SheetArchive::readXml(const std::string& name, pugi::xml_document& doc, std::string& why) const {
    std::string text;
    if (!read(name, text, why)) return false;
    pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    if (!parsed)
        why = format(tr("%s is not well-formed XML (%s at byte %lld)"), name.c_str(), parsed.description(),
                     static_cast<long long>(parsed.offset));
    return bool(parsed);
}

bool named(const pugi::xml_node& node, const char* local) {
    const char* name = node.name();
    const char* colon = strchr(name, ':');
    return strcmp(colon ? colon + 1 : name, local) == 0;
}

pugi::xml_node childNamed(const pugi::xml_node& node, const char* local) {
    for (pugi::xml_node child : node.children())
        if (child.type() == pugi::node_element && named(child, local)) return child;
    return {};
}

pugi::xml_attribute attributeNamed(const pugi::xml_node& node, const char* local) {
    for (pugi::xml_attribute a : node.attributes()) {
        const char* colon = strchr(a.name(), ':');
        if (strcmp(colon ? colon + 1 : a.name(), local) == 0) return a;
    }
    return {};
}

std::string numberText(const std::string& value) {
    char* end = nullptr;
    double x = strtod(value.c_str(), &end);
    if (value.empty() || *end || !std::isfinite(x)) return value;
    char text[40];
    if (x == std::floor(x) && std::fabs(x) < 1e15)
        snprintf(text, sizeof text, "%.0f", x == 0 ? 0.0 : x);
    else
        snprintf(text, sizeof text, "%.15g", x);
    return text;
}

} // namespace rvlpack
