// Writer of the configuration archive (.tcfx): an XML document whose root "DataFile" holds one element
// per stored value, in the order the records add them. Values are typed by the "T" attribute.
#pragma once

#include "model/ListItem.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pugi {
class xml_document;
}

class TCFXDataWriter {
public:
    TCFXDataWriter();
    ~TCFXDataWriter();
    TCFXDataWriter(const TCFXDataWriter&) = delete;
    TCFXDataWriter& operator=(const TCFXDataWriter&) = delete;

    // Starts a new, empty "DataFile" document (discarding any previous one).
    [[nodiscard]] bool openDocument();

    // Each add returns false (and adds nothing) for a null key or without an open document. A failed add
    // is also remembered: saveToFile refuses such an incomplete document, so a record may add a run of
    // keys and leave the check to the save.
    bool addBaseElement(const char* key, int type, const char* text); // stored hex-encoded
    bool addBaseElement(const char* key, int type, const std::string& text);
    bool addBaseElement(const char* key, int type, int value);
    bool addBaseElement(const char* key, int type, unsigned int value);
    bool addBaseElement(const char* key, int type, long value);
    bool addBaseElement(const char* key, int type, unsigned long value);
    bool addBaseElement(const char* key, int type, float value);
    // Stored as a single-precision float, like every floating value of the archive.
    bool addBaseElement(const char* key, int type, double value);

    bool addObjectElement(const char* key, int type, const std::vector<std::string>& texts);
    bool addObjectElement(const char* key, int type, const std::vector<uint64_t>& numbers);
    bool addObjectElement(const char* key, int type, const std::vector<ListItem>& items);

    [[nodiscard]] bool hasFailed() const { return m_failed; }

    // Writes the document next to `path` under a temporary name and renames it over `path` only once
    // it is completely on disk: a failure at any point leaves a previous file at `path` untouched.
    [[nodiscard]] bool saveToFile(const std::string& path) const;
    // The document as saveToFile writes it.
    [[nodiscard]] std::string saveToString() const;

private:
    [[nodiscard]] bool addText(const char* key, int type, const char* content);

    std::unique_ptr<pugi::xml_document> m_document;
    bool m_failed = false;
};
