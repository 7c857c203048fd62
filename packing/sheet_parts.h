// SPDX-License-Identifier: GPL-3.0-or-later
// The parts of a spreadsheet file: its zip archive read from memory with
// libzip, each entry bounded before it is inflated, and its XML parsed with
// pugixml, elements and attributes matched by their names without prefix.
#pragma once

#include <cstdint>
#include <pugixml.hpp>
#include <string>
#include <vector>

struct zip;

namespace rvlpack {

// Largest entry a spreadsheet reader inflates.
const uint64_t maxSheetPartBytes = uint64_t(64) << 20;

class SheetArchive {
public:
    // Opens the archive in bytes, which must outlive it; opened() tells.
    explicit SheetArchive(const std::vector<uint8_t>& bytes);
    ~SheetArchive();
    SheetArchive(const SheetArchive&) = delete;
    SheetArchive& operator=(const SheetArchive&) = delete;

    bool opened() const { return archive != nullptr; }
    const std::string& openError() const { return whyNot; }
    bool has(const std::string& name) const;
    // Reads the entry whole; false, with why set, when it is missing, over
    // maxSheetPartBytes or damaged.
    bool read(const std::string& name, std::string& text, std::string& why) const;
    // Reads and parses the entry as XML.
    bool readXml(const std::string& name, pugi::xml_document& doc, std::string& why) const;

private:
    zip* archive = nullptr;
    std::string whyNot;
};

// "table:table-cell" and "table-cell" both named "table-cell".
bool named(const pugi::xml_node& node, const char* local);
// The first child element of that name, or an empty node.
pugi::xml_node childNamed(const pugi::xml_node& node, const char* local);
// The attribute of that name, or an empty one.
pugi::xml_attribute attributeNamed(const pugi::xml_node& node, const char* local);

// A number as a spreadsheet holds it ("100", "1E+2", "100.50") as a host
// reads it: "100", "100.5"; the text as it stands when it is no number.
std::string numberText(const std::string& value);

} // namespace rvlpack
